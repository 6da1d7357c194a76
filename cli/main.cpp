#include "cli/cConsoleProgram.h"
#include "sys/cComApartment.h"
#include "sys/DllSearch.h"

int wmain(int argc, wchar_t** argv)
{
    RestrictDllSearch();
    ::SetConsoleCtrlHandler(&cConsoleProgram::OnControl, TRUE);
    const cConsoleStream out(STD_OUTPUT_HANDLE), err(STD_ERROR_HANDLE);
    try
    {
        // The shell launch of regsvr32 needs COM on this thread.
        const cComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        return cConsoleProgram(out, err).Run(std::vector<std::wstring>(argv + 1, argv + argc));
    }
    catch (...)
    {
        // The procedures catch their own failures; this is only for what escapes them (memory exhausted).
        err.Write(L"予期しないエラーで終了しました。\r\n");
        return cExitCode::CheckFailed;
    }
}
