# Shared by scripts/test, scripts/demo and scripts/bench: environment, build, Wine prefix, X server.
# shellcheck shell=bash

P2F_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
P2F_BUILD=${BUILD_DIR:-$P2F_ROOT/build}

# Wine takes its ANSI code page from the locale: ja_JP.UTF-8 gives 932.
export LANG=ja_JP.UTF-8 LC_MESSAGES=C
unset LC_ALL
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts while a prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="

# The tool is a 32-bit program, and its tests run it under Wine's 32-bit loader. Some virtual machines run
# 64-bit user code only: there the loader fails with "Exec format error" and no 32-bit x86 code can run,
# in Wine's WoW64 mode neither. On such a machine the tests run a 64-bit build of the same sources under
# 64-bit Wine (P2F_TEST_ARCH=x86_64); the shipped 32-bit exe is still built, import-checked and checked for
# reproducibility, but not run. Call after scripts/setup.
p2f_detect_arch() {
    if [[ -z ${P2F_TEST_ARCH:-} ]]; then
        if /usr/lib/wine/wine --version >/dev/null 2>&1; then P2F_TEST_ARCH=i686; else P2F_TEST_ARCH=x86_64; fi
    fi
    export P2F_TEST_ARCH
    P2F_TOOLCHAIN=$P2F_ROOT/cmake/$P2F_TEST_ARCH-w64-mingw32.cmake
    if [[ $P2F_TEST_ARCH == x86_64 ]]; then
        echo "note: this machine cannot run 32-bit x86 code; the tests run a 64-bit build of the same sources" \
            "under 64-bit Wine, and the shipped 32-bit exe is built and checked but not run"
        # Debian's wine wrapper always picks the 32-bit loader when it is installed.
        # Beside the build folder, which may be started afresh.
        local bin=$P2F_BUILD-wine64
        mkdir -p "$bin"
        printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$bin/wine"
        chmod +x "$bin/wine"
        export PATH=$bin:$PATH
    fi
}

# p2f_configure FOLDER TOOLCHAIN_FILE [cmake option...]: a release build folder for that toolchain.
p2f_configure() {
    local dir=$1 toolchain=$2
    shift 2
    # CMake keeps the compilers of a folder's first toolchain, whatever toolchain file it is given later: a
    # folder made for another one (or before this was noted) starts afresh.
    if [[ -f $dir/CMakeCache.txt && $(cat "$dir/p2f-toolchain" 2>/dev/null) != "$toolchain" ]]; then
        rm -rf "$dir"
    fi
    mkdir -p "$dir"
    echo "$toolchain" >"$dir/p2f-toolchain"
    cmake -S "$P2F_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" "$@" \
        >"$dir/configure.log" 2>&1 || { cat "$dir/configure.log"; return 1; }
}

# p2f_compile FOLDER [target...]: builds the targets (all by default), showing the errors on failure.
p2f_compile() {
    local dir=$1
    shift
    cmake --build "$dir" -j"$(nproc)" ${1:+--target "$@"} -- --no-print-directory >"$dir/build.log" 2>&1 ||
        { grep -B2 -A12 -m5 'error' "$dir/build.log" || tail -40 "$dir/build.log"; return 1; }
}

# Builds everything into $P2F_BUILD for the architecture the tests can run (p2f_detect_arch).
p2f_build() {
    p2f_detect_arch
    p2f_configure "$P2F_BUILD" "$P2F_TOOLCHAIN"
    p2f_compile "$P2F_BUILD"
}

# Starts an X server of our own (Xvfb) and exports DISPLAY; stopped by p2f_cleanup.
p2f_start_x() {
    local n
    for n in $(seq 90 140); do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        P2F_XVFB_PID=$!
        for _ in $(seq 50); do
            [[ -e /tmp/.X11-unix/X$n ]] && { export DISPLAY=":$n"; return 0; }
            kill -0 "$P2F_XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
    done
    echo "could not start Xvfb" >&2
    return 1
}

p2f_cleanup() {
    [[ -n "${WINEPREFIX:-}" ]] && wineserver -k >/dev/null 2>&1 || true
    [[ -n "${P2F_XVFB_PID:-}" ]] && kill "$P2F_XVFB_PID" >/dev/null 2>&1 || true
}

# Makes a fresh Wine prefix at $1 and leaves WINEPREFIX pointing at it with its server running.
p2f_make_prefix() {
    local prefix=$1
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    export WINEPREFIX=$prefix
    wine wineboot -i >/dev/null 2>&1
    wineserver -w
    # Shell folders are links into the Linux home; make them real so files stay inside the prefix.
    local user_dir
    for user_dir in "$prefix"/drive_c/users/*; do
        [[ -d $user_dir && ! -L $user_dir ]] || continue
        local link
        for link in "$user_dir"/*; do
            if [[ -L $link ]]; then
                rm -f "$link"
                mkdir -p "$link"
            fi
        done
    done
    # A crash must never wait for a click on winedbg's dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
        /v 'メイリオ' /d 'Noto Sans CJK JP' /f >/dev/null 2>&1
    wineserver -w
}

# Starts the server and its services before anything whose output is read, so they never inherit a pipe.
p2f_warm_prefix() {
    wineserver -p >/dev/null 2>&1
    wine cmd /c exit >/dev/null 2>&1 </dev/null
}

# A PC with the map product's edition W3 installed (ini files included) and both components in
# place but registered at an older copy: the state the tool is meant to repair.
p2f_seed_demo_pc() {
    # A 64-bit test build sees the 64-bit Program Files and registry view.
    local drive=$WINEPREFIX/drive_c pf pfw='C:\Program Files (x86)' view=32
    [[ $P2F_TEST_ARCH == x86_64 ]] && pfw='C:\Program Files' view=64
    # The pictures' stand-in for the 32-bit exe names another Program Files folder.
    pfw=${P2F_DEMO_PROGRAM_FILES:-$pfw}
    pf=$drive/${pfw#C:\\}
    mkdir -p "$pf/kovamap/common" "$pf/kovamap/search" "$pf/kovamap/data" "$drive/kovamap_old"
    cp "$P2F_BUILD/fixtures/fixture_control.dll" "$pf/kovamap/common/plotwing2.ocx"
    cp "$P2F_BUILD/fixtures/fixture_lookup.dll" "$pf/kovamap/common/lexgrid4b.dll"
    cp "$P2F_BUILD/fixtures/fixture_control.dll" "$drive/kovamap_old/plotwing2.ocx"
    cp "$P2F_BUILD/fixtures/fixture_lookup.dll" "$drive/kovamap_old/lexgrid4b.dll"
    : >"$pf/kovamap/data/normalize.dat"
    # The edition's own ini files, in code page 932 with CR LF, as the map product writes them.
    printf '[Plotwing]\r\nMapPackage=全国道路地図2024\r\n[SearchCtrl]\r\nSearchIni=%s\\kovamap\\search\\\r\n' "$pfw" |
        iconv -f utf-8 -t cp932 >"$pf/kovamap/cartoriaw3.ini"
    printf '[SEARCHDATA]\r\nCHOMOKUDAT=%s\\kovamap\\data\\chomoku.dat\r\nPINPOINTDAT=%s\\kovamap\\data\\pinpoint.dat\r\nNORMARIZE=%s\\kovamap\\data\\normalize.dat\r\n' "$pfw" "$pfw" "$pfw" |
        iconv -f utf-8 -t cp932 >"$pf/kovamap/search/search.ini"
    wine reg add 'HKLM\SOFTWARE\KOVA\CARTORIAW3' /v inifile /d "$pfw\kovamap\cartoriaw3.ini" /f /reg:$view >/dev/null 2>&1
    p2f_register_old_copy
}

# An older copy registered where COM should no longer look: the state the tool repairs.
p2f_register_old_copy() {
    local regsvr32='C:\windows\syswow64\regsvr32.exe'
    [[ $P2F_TEST_ARCH == x86_64 ]] && regsvr32='C:\windows\system32\regsvr32.exe'
    local file
    for file in plotwing2.ocx lexgrid4b.dll; do
        wine "$regsvr32" /s "C:\\kovamap_old\\$file" >/dev/null 2>&1 ||
            { echo "regsvr32 could not register the old copy of $file" >&2; return 1; }
    done
}
