# The same cross build as i686-w64-mingw32.cmake, compiled by Debian's clang 14 instead of GCC: the same
# mingw-w64 headers and libraries, GCC's libstdc++ of the posix thread model, windres, GNU ld and Wine.
include(${CMAKE_CURRENT_LIST_DIR}/i686-w64-mingw32.cmake)

set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET i686-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET i686-w64-mingw32)
# Without a sysroot clang also searches the host's /usr/include.
set(CMAKE_SYSROOT /usr/i686-w64-mingw32)
# GCC's archiver too, rather than llvm-ar from a package clang does not need.
find_program(CMAKE_AR i686-w64-mingw32-ar REQUIRED)
find_program(CMAKE_RANLIB i686-w64-mingw32-ranlib REQUIRED)

# clang 14 does not recognise Debian's GCC folder names (12-posix), so it is given GCC's folder itself:
# libstdc++'s headers, and crtbegin.o, libstdc++, libgcc and libgcc_eh for the link.
execute_process(COMMAND i686-w64-mingw32-g++-posix -print-libgcc-file-name
    OUTPUT_VARIABLE P2F_LIBGCC OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(P2F_GCC_DIR "${P2F_LIBGCC}" DIRECTORY)
set(CMAKE_CXX_FLAGS_INIT "-isystem ${P2F_GCC_DIR}/include/c++ \
-isystem ${P2F_GCC_DIR}/include/c++/i686-w64-mingw32 -isystem ${P2F_GCC_DIR}/include/c++/backward")
# -pthread links winpthreads, which libstdc++ of the posix thread model calls, as GCC's own driver does.
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS_INIT "-B${P2F_GCC_DIR} -L${P2F_GCC_DIR} -pthread")
endforeach()
