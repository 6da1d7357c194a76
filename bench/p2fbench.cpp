// Measures the tool against its floors on the prepared demo PC and prints one table.
//   p2fbench <tool.exe> <floor.exe> <work-floor.exe> [runs [<cli.exe> <console-floor.exe>
//   <console-work-floor.exe>]]
// or compares programs given as whole command lines, started in turn, on start-up and working set:
//   p2fbench --compare <runs> <command line> <command line>...
#include "window/MainForm.h"
#include "repair/cComponent.h"
#include "catalogue/cCartoriaMapsRegister.h"
#include "sys/StrConv.h"
#include "sys/cApplication.h"
#include "sys/cOwned.h"
#include "bench/ImageFloor.h"
#include "bench/ResultFloor.h"
#include "bench/UsersFloor.h"
#include "repair/cUserRegistrations.h"
#include "repair/cImageCheck.h"
#include "repair/cWorkerWait.h"
#include "security/cAccount.h"
#include <windows.h>
#include <psapi.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Quantile(std::vector<double> values, double q)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const double at = q * static_cast<double>(values.size() - 1);
    const size_t low = static_cast<size_t>(at);
    const size_t high = std::min(low + 1, values.size() - 1);
    return values[low] + (values[high] - values[low]) * (at - static_cast<double>(low));
}

double Median(std::vector<double> values)
{
    return Quantile(std::move(values), 0.5);
}

struct FindArgs
{
    DWORD Pid;
    HWND Found;
};

BOOL CALLBACK FindReadyWindow(HWND hwnd, LPARAM lParam)
{
    auto* args = reinterpret_cast<FindArgs*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    // Visible with its report box filled: the point a user can read the verdict. GetWindowTextLength
    // does not ask a control of another process, so the message is sent.
    DWORD_PTR length = 0;
    if (pid == args->Pid && ::IsWindowVisible(hwnd) &&
        ::SendMessageTimeoutW(::GetDlgItem(hwnd, 1001), WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000,
                              &length) &&
        length > 0)
    {
        args->Found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The tool's window with its report shown, of the process started as `info`; null when it did not show within
// 20 s.
HWND ReadyWindow(const PROCESS_INFORMATION& info)
{
    FindArgs args{info.dwProcessId, nullptr};
    for (const double deadline = Now() + 20.0; !args.Found && Now() < deadline; ::Sleep(1))
        ::EnumWindows(&FindReadyWindow, reinterpret_cast<LPARAM>(&args));
    return args.Found;
}

struct StartResult
{
    double Seconds = -1;
    SIZE_T PeakWorkingSet = 0;
    SIZE_T PeakPrivate = 0;
};

// The peak working set and private memory of a process, also of one that has ended.
void ReadPeaks(HANDLE process, StartResult& result)
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (::GetProcessMemoryInfo(process, &counters, sizeof counters))
    {
        result.PeakWorkingSet = counters.PeakWorkingSetSize;
        result.PeakPrivate = counters.PeakPagefileUsage;
    }
}

// From process creation to its window visible with the report filled; then the peak working set.
StartResult StartOnce(std::wstring command)
{
    StartResult result;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const double start = Now();
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info))
    {
        std::fprintf(stderr, "cannot start %ls: error %lu\n", command.c_str(), ::GetLastError());
        return result;
    }
    const cHandle process(info.hProcess);
    const cHandle thread(info.hThread);
    if (const HWND found = ReadyWindow(info))
    {
        result.Seconds = Now() - start;
        ReadPeaks(process.Get(), result);
        ::PostMessageW(found, WM_CLOSE, 0, 0);
    }
    if (::WaitForSingleObject(process.Get(), 20000) != WAIT_OBJECT_0)
        ::TerminateProcess(process.Get(), 1);
    return result;
}

// From process creation to its exit, its output going nowhere; then the ended process's peak memory.
StartResult RunToExit(std::wstring command)
{
    StartResult result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const cHandle nowhere(::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                        OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nowhere.Get();
    PROCESS_INFORMATION info{};
    const double start = Now();
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &info))
        return result;
    const cHandle process(info.hProcess);
    const cHandle thread(info.hThread);
    // Read while it runs: 32-bit Wine reports no memory of a process that has ended. The peaks only grow, so
    // the last reading is the peak.
    StartResult running;
    DWORD waited = WAIT_TIMEOUT;
    for (const double deadline = start + 20; waited == WAIT_TIMEOUT && Now() < deadline;)
    {
        ReadPeaks(process.Get(), running);
        waited = ::WaitForSingleObject(process.Get(), 1);
    }
    if (waited != WAIT_OBJECT_0)
    {
        ::TerminateProcess(process.Get(), 1);
        return result;
    }
    result.Seconds = Now() - start;
    ReadPeaks(process.Get(), result);
    result.PeakWorkingSet = std::max(result.PeakWorkingSet, running.PeakWorkingSet);
    result.PeakPrivate = std::max(result.PeakPrivate, running.PeakPrivate);
    return result;
}

// Runs `measure` with `count` signed-out profiles added to the profile list, each with its classes file; the
// bench's own prefix is a throwaway machine, and the profiles go again afterwards.
template <class Measure>
auto WithProfiles(int count, const std::wstring& temp, Measure measure)
{
    const std::wstring list = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
    const std::wstring root = temp + L"p2fbench-users\\";
    std::vector<std::wstring> sids;
    for (int n = 0; n < count; ++n)
    {
        const std::wstring folder = root + L"u" + std::to_wstring(n);
        std::wstring path = folder;
        for (const wchar_t* step : {L"\\AppData", L"\\Local", L"\\Microsoft", L"\\Windows"})
            ::CreateDirectoryW(root.c_str(), nullptr), ::CreateDirectoryW(folder.c_str(), nullptr),
                ::CreateDirectoryW((path += step).c_str(), nullptr);
        // A classes file in Windows' own format (the tests' fixture, written by another program), holding
        // classes of the user's own but none of the map's.
        ::CopyFileW((cApplication::Path() + L"\\fixtures\\hives\\others.dat").c_str(),
                    (path + L"\\UsrClass.dat").c_str(), FALSE);
        sids.push_back(L"S-1-5-21-1000-1000-1000-" + std::to_wstring(2000 + n));
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, (list + sids.back()).c_str(), L"ProfileImagePath", REG_SZ,
                          folder.c_str(), static_cast<DWORD>(folder.size() * 2 + 2));
    }
    const auto result = measure();
    for (const std::wstring& sid : sids)
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (list + sid).c_str());
    return result;
}

// One 「チェック」 in the running tool: how long the window's thread left a message unanswered at most (each
// probe is a message to its report box, sent again as soon as it is answered), and how long the check took
// until its report was in the box. Probing goes on for 200 ms after that: the report is logged then.
struct Responsiveness
{
    double LongestMs = -1, CheckMs = -1;
};
Responsiveness ProbeCheck(HWND window)
{
    Responsiveness result;
    const HWND box = ::GetDlgItem(window, 1001);
    DWORD_PTR before = 0, length = 0;
    if (!::SendMessageTimeoutW(box, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 10000, &before))
        return result;
    const double start = Now();
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(1003, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, 1003)));
    double longest = 0, done = 0;
    for (const double deadline = start + 60; Now() < deadline && (!done || Now() < done + 0.2);)
    {
        const double sent = Now();
        if (!::SendMessageTimeoutW(box, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 10000, &length))
            return result;
        longest = std::max(longest, Now() - sent);
        if (!done && length > before)
            done = Now();
    }
    if (done)
        result = {longest * 1000, (done - start) * 1000};
    return result;
}

// `runs` 「チェック」 clicks in one started tool, one after the other.
std::vector<Responsiveness> ProbeChecks(std::wstring command, int runs)
{
    std::vector<Responsiveness> probes;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info))
        return probes;
    const cHandle process(info.hProcess), thread(info.hThread);
    if (const HWND window = ReadyWindow(info))
    {
        for (int round = 0; round < runs; ++round)
            probes.push_back(ProbeCheck(window));
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
    if (::WaitForSingleObject(process.Get(), 20000) != WAIT_OBJECT_0)
        ::TerminateProcess(process.Get(), 1);
    return probes;
}

// Start-up times (ms), peak working sets and peak private memory (KiB) of one program over the rounds.
// The working set counts the pages of shared files too: under Wine with this kernel, a theme file mapped
// at a 2 MiB boundary is counted whole (6 MiB) and one not so mapped only in part, which the size of the
// exe decides. Private memory is what the process itself holds.
struct Series
{
    std::vector<double> Ms;
    std::vector<double> KiB;
    std::vector<double> PrivateKiB;
};

// Starts every command line once per round, the order turned by one each round so that no program
// always follows the same one; empty when a program did not show its window.
std::vector<Series> StartRounds(int runs, const std::vector<std::wstring>& commands)
{
    std::vector<Series> series(commands.size());
    for (int round = 0; round < runs; ++round)
    {
        for (size_t k = 0; k < commands.size(); ++k)
        {
            const size_t i = (k + static_cast<size_t>(round)) % commands.size();
            const StartResult r = StartOnce(commands[i]);
            if (r.Seconds < 0)
            {
                std::fprintf(stderr, "%ls did not show its window\n", commands[i].c_str());
                return {};
            }
            series[i].Ms.push_back(r.Seconds * 1000);
            series[i].KiB.push_back(static_cast<double>(r.PeakWorkingSet) / 1024.0);
            series[i].PrivateKiB.push_back(static_cast<double>(r.PeakPrivate) / 1024.0);
        }
    }
    return series;
}

// Per round, `a` against `b` of the same round: their ratios or differences.
std::vector<double> Paired(const std::vector<double>& a, const std::vector<double>& b, bool ratio)
{
    std::vector<double> out;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        out.push_back(ratio ? (b[i] > 0 ? a[i] / b[i] : 0.0) : a[i] - b[i]);
    return out;
}

// The program's file name and its words, without the folder and the quotes.
std::wstring ShortName(const std::wstring& command)
{
    const size_t exeEnd = command.find(L".exe");
    const size_t slash = command.find_last_of(L'\\', exeEnd);
    std::wstring name = command.substr(slash == std::wstring::npos ? 0 : slash + 1);
    name.erase(std::remove(name.begin(), name.end(), L'"'), name.end());
    return name;
}

// One line per program: medians with quartiles, and the median of the per-round differences from the
// first program (rounds pair programs that ran seconds apart, under much the same load).
void PrintComparison(const std::vector<std::wstring>& names, const std::vector<Series>& series)
{
    std::printf("| %-36s | start-up ms (p25-p75)  | vs first | peak KiB (p25-p75)  | vs first | private KiB "
                "| vs first "
                "|\n",
                "program");
    std::printf("|%s|------------------------|----------|---------------------|----------|-------------|-----"
                "-----|\n",
                std::string(38, '-').c_str());
    for (size_t i = 0; i < series.size(); ++i)
    {
        const Series& s = series[i];
        std::printf(
            "| %-36ls | %6.1f (%6.1f-%6.1f) | %+8.1f | %5.0f (%5.0f-%5.0f) | %+8.0f | %11.0f | %+8.0f |\n",
            ShortName(names[i]).c_str(), Median(s.Ms), Quantile(s.Ms, 0.25), Quantile(s.Ms, 0.75),
            Median(Paired(s.Ms, series[0].Ms, false)), Median(s.KiB), Quantile(s.KiB, 0.25),
            Quantile(s.KiB, 0.75), Median(Paired(s.KiB, series[0].KiB, false)), Median(s.PrivateKiB),
            Median(Paired(s.PrivateKiB, series[0].PrivateKiB, false)));
    }
}

std::wstring Quoted(const std::wstring& exe)
{
    return L"\"" + exe + L"\"";
}

DWORD WINAPI ReadUsersThread(void*)
{
    ReadUsersStraight({MapControl.ClassId, LookupLibrary.ClassId});
    return 0;
}

// The system calls one check needs, made directly: the floor of CheckComponent.
void CheckFloor(const std::string& logPath, const std::vector<std::wstring>& expectedFiles)
{
    auto readValue = [](HKEY root, const char* subKey, const char* name) {
        HKEY key = nullptr;
        char buffer[1024] = {};
        const REGSAM view =
            root == HKEY_LOCAL_MACHINE ? (sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY) : 0;
        if (::RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE | view, &key) == ERROR_SUCCESS)
        {
            DWORD type = REG_SZ, size = sizeof buffer;
            ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
            ::RegCloseKey(key);
        }
        return std::string(buffer);
    };
    auto appendLog = [&logPath](const std::string& text) {
        const cHandle file(::CreateFileA(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    };
    char value[1024];
    for (const char* edition : {"SOFTWARE\\KOVA\\CARTORIAW3", "SOFTWARE\\KOVA\\CARTORIAW2"})
    {
        const std::string ini = readValue(HKEY_LOCAL_MACHINE, edition, "inifile");
        if (ini.empty() || ::GetFileAttributesA(ini.c_str()) == INVALID_FILE_ATTRIBUTES)
            continue;
        ::GetPrivateProfileStringA("Plotwing", "MapPackage", "", value, sizeof value, ini.c_str());
        ::GetPrivateProfileStringA("SearchCtrl", "SearchIni", "", value, sizeof value, ini.c_str());
        const std::string search = std::string(value) + "search.ini";
        ::GetFileAttributesA(value);
        for (const char* key : {"CHOMOKUDAT", "PINPOINTDAT", "NORMARIZE"})
            ::GetPrivateProfileStringA("SEARCHDATA", key, "", value, sizeof value, search.c_str());
        ::GetFileAttributesA(value);
    }
    const std::string ini = readValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\KOVA\\CARTORIAW3", "inifile");
    ::GetFileAttributesA(ini.c_str());
    for (const char* clsid :
         {"SOFTWARE\\Classes\\CLSID\\{5E1D7A20-3B4C-4F8E-9D21-7C3A0B6E4F19}\\InprocServer32",
          "SOFTWARE\\Classes\\CLSID\\{2A9F6C13-8E47-4b5d-A6F0-31D8C2E7B940}\\InprocServer32"})
    {
        const std::string path = readValue(HKEY_LOCAL_MACHINE, clsid, nullptr);
        appendLog(path + "\r\n");
        // Only a path on a local drive is looked up: its drive's type first.
        ::GetDriveTypeA(path.substr(0, 3).c_str());
        ::GetLongPathNameA(path.c_str(), value, sizeof value);
        ::CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE | NORM_IGNOREWIDTH | NORM_IGNOREKANATYPE, value,
                         -1, path.c_str(), -1);
        ::GetFileAttributesA(path.c_str());
    }
    for (const std::wstring& expected : expectedFiles)
        ReadImageStraight(expected.c_str());
    // Every user read on a thread of its own, waited for within a bound while the window's messages are read.
    const HANDLE reader = ::CreateThread(nullptr, 0, &ReadUsersThread, nullptr, 0, nullptr);
    while (::MsgWaitForMultipleObjects(1, &reader, FALSE, 120000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
    {
        MSG msg{};
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
    }
    ::CloseHandle(reader);
    appendLog(std::string(400, 'r') + "\r\n");
    KeepResultStraight(600);
}

// Median time per call of `tool` and of `floor`, their batches interleaved so that drift in the
// machine's load falls on both alike.
std::pair<double, double> TimePairPerCall(int calls, const auto& tool, const auto& floor)
{
    std::vector<double> toolBatches, floorBatches;
    for (int b = 0; b < 21; ++b)
    {
        for (auto* batches : {&toolBatches, &floorBatches})
        {
            const double start = Now();
            for (int i = 0; i < calls; ++i)
                batches == &toolBatches ? tool() : floor();
            batches->push_back((Now() - start) / calls);
        }
    }
    return {Median(toolBatches), Median(floorBatches)};
}

double TimePerCall(int calls, const auto& work)
{
    std::vector<double> batches;
    for (int b = 0; b < 11; ++b)
    {
        const double start = Now();
        for (int i = 0; i < calls; ++i)
            work();
        batches.push_back((Now() - start) / calls);
    }
    return Median(batches);
}

long long FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A measured value with its unit: milliseconds to two decimals, KiB whole; empty when not measured.
std::string Value(double value, const char* unit)
{
    char text[32] = "";
    if (value > 0)
        std::snprintf(text, sizeof text, "%.*f %s", unit[0] == 'K' ? 0 : 2, value, unit);
    return text;
}

// One row: the tool, the bare-window floor (when measured) and the same-work floor, each ratio, and,
// when the row has a target, the verdict on the ratio to the same-work floor.
void Row(const char* what, const char* unit, double tool, double bare, double work, double target = 0)
{
    const double workRatio = work > 0 ? tool / work : 0;
    char bareRatio[16] = "", goal[16] = "";
    if (bare > 0)
        std::snprintf(bareRatio, sizeof bareRatio, "%.2f", tool / bare);
    if (target > 0)
        std::snprintf(goal, sizeof goal, "<= %.2f", target);
    std::printf("| %-26s | %13s | %13s | %5s | %13s | %5.2f | %-9s | %-7s |\n", what,
                Value(tool, unit).c_str(), Value(bare, unit).c_str(), bareRatio, Value(work, unit).c_str(),
                workRatio, goal,
                target <= 0           ? ""
                : workRatio <= target ? "met"
                                      : "MISSED");
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 4 && std::wstring(argv[1]) == L"--compare")
    {
        const int runs = std::max(1, _wtoi(argv[2]));
        const std::vector<std::wstring> commands(argv + 3, argv + argc);
        const std::vector<Series> series = StartRounds(runs, commands);
        if (series.empty())
            return 1;
        std::printf("%d rounds, each program once per round in turn\n", runs);
        PrintComparison(commands, series);
        return 0;
    }
    if (argc < 4)
    {
        std::fprintf(stderr, "usage: p2fbench <tool.exe> <floor.exe> <work-floor.exe> [runs]\n"
                             "       p2fbench --compare <runs> <command line>...\n");
        return 2;
    }
    const std::wstring tool = argv[1];
    const std::wstring bareExe = argv[2];
    const std::wstring workExe = argv[3];
    const int runs = argc > 4 ? std::max(10, _wtoi(argv[4])) : 10;

    const std::vector<Series> starts = StartRounds(runs, {Quoted(tool), Quoted(bareExe), Quoted(workExe)});
    if (starts.empty())
        return 1;
    const Series& toolRuns = starts[0];
    const Series& bareRuns = starts[1];
    const Series& workRuns = starts[2];

    // The check in-process, on a hidden window of the tool's own code.
    MainForm form(::GetModuleHandleW(nullptr));
    if (!form.Create(SW_HIDE, false))
        return 1;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);

    const std::string floorLog = strconv::ToAnsi(std::wstring(temp) + L"p2fbench-floor.log");
    const std::vector<std::wstring> expectedFiles{form.ExpectedControlPath(), form.ExpectedLookupPath()};
    const auto [checkSeconds, checkFloorSeconds] = TimePairPerCall(
        50, [&form] { form.CheckComponent(false); },
        [&floorLog, &expectedFiles] { CheckFloor(floorLog, expectedFiles); });
    const double check = checkSeconds * 1000;
    const double checkFloor = checkFloorSeconds * 1000;
    ::DeleteFileA(floorLog.c_str());

    if (::GetEnvironmentVariableW(L"P2F_BENCH_DETAIL", nullptr, 0) > 0)
    {
        std::printf("catalogue: %.3f ms\n", TimePerCall(50, [] { cCartoriaMapsRegister c; }) * 1000);
        cCartoriaMapsRegister c;
        std::printf("IsInstall: %.3f ms\n",
                    TimePerCall(50, [&c] { (void)c.IsInstall(L"CARTORIAW3"); }) * 1000);
        std::printf("GetRegisteredPath: %.3f ms\n",
                    TimePerCall(50, [&form] { (void)form.GetRegisteredPath(MapControl.ClassId); }) * 1000);
        const std::vector<cUserRegistrations::cExpected> expected{
            {&MapControl, form.ExpectedControlPath()}, {&LookupLibrary, form.ExpectedLookupPath()}};
        std::printf("image check, both files: %.3f ms, floor %.3f ms\n",
                    TimePerCall(50,
                                [&expectedFiles] {
                                    for (const std::wstring& file : expectedFiles)
                                        (void)cImageCheck().Judge(file);
                                }) *
                        1000,
                    TimePerCall(50, [&expectedFiles] {
                        for (const std::wstring& file : expectedFiles)
                            ReadImageStraight(file.c_str());
                    }) * 1000);
        // The window's check in its parts: the check itself, the result kept, a worker thread that does
        // nothing.
        struct cNoBox : cReportText
        {
            std::wstring Text() const override { return {}; }
            void Append(const std::wstring&) override {}
            void Replace(const std::wstring&) override {}
        } box;
        std::printf("check without the window: %.3f ms\n",
                    TimePerCall(50, [&form, &box] { (void)form.Check(box, false); }) * 1000);
        std::printf("result kept: %.3f ms, floor %.3f ms\n",
                    TimePerCall(50, [&form] { (void)form.KeepResult(L"{}", true); }) * 1000,
                    TimePerCall(50, [] { KeepResultStraight(2); }) * 1000);
        std::printf("empty worker thread waited for: %.3f ms\n",
                    TimePerCall(50, [&form] { (void)cWorkerWait::Run([] {}, form.Hwnd(), 10000, 0); }) *
                        1000);
        std::printf("users (every profile): %.3f ms\n",
                    TimePerCall(50, [&expected] { (void)cUserRegistrations().Read(expected); }) * 1000);
        std::printf("users floor: %.3f ms\n",
                    TimePerCall(50, [] {
                        ReadUsersStraight({MapControl.ClassId, LookupLibrary.ClassId});
                    }) * 1000);
        std::printf("profile list: %.3f ms\n", TimePerCall(50, [] { (void)cProfileList::Read(); }) * 1000);
        WithProfiles(200, temp, [&expected] {
            const auto [users, floor] = TimePairPerCall(
                2, [&expected] { (void)cUserRegistrations().Read(expected); },
                [] {
                    ReadUsersStraight({MapControl.ClassId, LookupLibrary.ClassId});
                });
            std::printf("users, 200 profiles: %.1f ms, floor %.1f ms\n", users * 1000, floor * 1000);
            return 0;
        });
        std::printf("account name: %.3f ms\n",
                    TimePerCall(50, [] { (void)cAccount::NameOf(L"S-1-5-21-0-0-0-1000"); }) * 1000);
        cLogger logger;
        logger.AllowOutput(true);
        logger.OutputLevel(1);
        logger.OutputPath(std::wstring(temp) + L"p2fbench-detail.log");
        std::printf("log entry: %.3f ms\n",
                    TimePerCall(50, [&logger] { logger.InfoOut(L"CLSID : x : y"); }) * 1000);
        std::printf("EnableWindow: %.3f ms\n", TimePerCall(50, [&form] {
                                                   ::EnableWindow(form.Command2(), FALSE);
                                                   ::EnableWindow(form.Command2(), TRUE);
                                               }) * 1000);
        std::printf("GetLongPath: %.3f ms\n", TimePerCall(50, [&form] {
                                                  (void)MainForm::GetLongPath(form.ExpectedControlPath());
                                              }) * 1000);
        // What each thing the tool does beyond the same-work floor costs, added to that floor alone.
        std::vector<std::wstring> variants{
            L"", L"icon", L"version", L"icc", L"links", L"twice", L"icon version icc links twice"};
        std::vector<std::wstring> commands;
        for (const std::wstring& words : variants)
            commands.push_back(Quoted(workExe) + (words.empty() ? L"" : L" " + words));
        const std::vector<Series> series = StartRounds(runs, commands);
        if (series.empty())
            return 1;
        variants[0] = L"same-work floor";
        for (size_t i = 1; i < variants.size(); ++i)
            variants[i] = L"+ " + variants[i];
        PrintComparison(variants, series);
    }
    char measure[32];
    std::snprintf(measure, sizeof measure, "measure (median of %d)", runs);
    std::printf("| %-26s | %-13s | %-13s | %-5s | %-13s | %-5s | %-9s | %-7s |\n", measure, "tool",
                "bare window", "ratio", "same work", "ratio", "target", "verdict");
    std::printf("|%s|%s|%s|%s|%s|%s|%s|%s|\n", std::string(28, '-').c_str(), std::string(15, '-').c_str(),
                std::string(15, '-').c_str(), std::string(7, '-').c_str(), std::string(15, '-').c_str(),
                std::string(7, '-').c_str(), std::string(11, '-').c_str(), std::string(9, '-').c_str());
    Row("start-up to report shown", "ms", Median(toolRuns.Ms), Median(bareRuns.Ms), Median(workRuns.Ms),
        1.10);
    Row("peak working set", "KiB", Median(toolRuns.KiB), Median(bareRuns.KiB), Median(workRuns.KiB), 1.10);
    Row("peak private memory", "KiB", Median(toolRuns.PrivateKiB), Median(bareRuns.PrivateKiB),
        Median(workRuns.PrivateKiB));
    Row("one check (CheckComponent)", "ms", check, 0, checkFloor, 1.5);
    if (argc > 6)
    {
        // The console program's check, start to exit, against a console program that does nothing and one
        // that does the same system work written straight; the three in turn, their order turned each round.
        std::vector<double> ms[3], kib[3];
        const std::wstring commands[3] = {Quoted(argv[5]) + L" check", Quoted(argv[6]),
                                          argc > 7 ? Quoted(argv[7]) : Quoted(argv[6])};
        for (int round = 0; round < runs; ++round)
            for (int i = 0; i < 3; ++i)
            {
                const int which = (round + i) % 3;
                const StartResult r = RunToExit(commands[which]);
                ms[which].push_back(r.Seconds * 1000);
                kib[which].push_back(static_cast<double>(r.PeakWorkingSet) / 1024);
            }
        const std::vector<double>& cliMs = ms[0];
        Row("console check, to exit", "ms", Median(ms[0]), Median(ms[1]), Median(ms[2]), 1.10);
        Row("console peak working set", "KiB", Median(kib[0]), Median(kib[1]), Median(kib[2]), 1.10);
        // A shared PC: 200 more profiles, signed out, each with its classes file: the tool against the PC's
        // own profiles and against the same-work console floor on the same 200, the two in turn.
        std::vector<double> shared[2];
        WithProfiles(200, temp, [&] {
            for (int round = 0; round < runs; ++round)
                for (int i = 0; i < 2; ++i)
                {
                    const int which = (round + i) % 2;
                    shared[which].push_back(RunToExit(which ? commands[2] : commands[0]).Seconds * 1000);
                }
            return shared[0];
        });
        Row("console, 200 profiles", "ms", Median(shared[0]), Median(cliMs), Median(shared[1]), 1.10);
        std::printf("console, 200 profiles: %.2f times the run on the PC's own profiles\n",
                    Median(shared[0]) / Median(cliMs));
    }
    // The window during 「チェック」 on the shared PC: every user is read off its thread, so it answers.
    const std::vector<Responsiveness> probes =
        WithProfiles(200, temp, [&] { return ProbeChecks(Quoted(tool), runs); });
    std::vector<double> longest, checks;
    for (const Responsiveness& probe : probes)
        if (probe.LongestMs >= 0)
            longest.push_back(probe.LongestMs), checks.push_back(probe.CheckMs);
    const double worst = longest.empty() ? -1 : *std::max_element(longest.begin(), longest.end());
    std::printf("| %-26s | %13s | %13s | %5s | %13s | %5s | %-9s | %-7s |\n", "window, 200 profiles",
                Value(Median(longest), "ms").c_str(), "", "", "", "", "< 100 ms",
                longest.size() != static_cast<size_t>(runs) ? "MISSED"
                : worst < 100                               ? "met"
                                                            : "MISSED");
    const long long size = FileSize(tool);
    std::printf("| %-26s | %9lld KiB | %9lld KiB | %5s | %9lld KiB | %5s | <= 600 KB | %-7s |\n", "exe size",
                size / 1024, FileSize(bareExe) / 1024, "", FileSize(workExe) / 1024, "",
                size <= 600 * 1000 ? "met" : "MISSED");
    // How much the runs scattered: quartiles of each program, and of the tool's ratio round by round.
    const auto quartiles = [](const char* name, const std::vector<double>& v, const char* unit) {
        const int digits = v.empty() || Quantile(v, 0.5) >= 1000 ? 0 : Quantile(v, 0.5) >= 10 ? 1 : 2;
        std::printf("  %s %.*f-%.*f%s", name, digits, Quantile(v, 0.25), digits, Quantile(v, 0.75), unit);
    };
    std::printf("spread (p25-p75):\n start-up:");
    quartiles("tool", toolRuns.Ms, " ms,");
    quartiles("bare", bareRuns.Ms, " ms,");
    quartiles("same work", workRuns.Ms, " ms,");
    quartiles("tool/same work per round", Paired(toolRuns.Ms, workRuns.Ms, true), "\n peak working set:");
    quartiles("tool", toolRuns.KiB, " KiB,");
    quartiles("bare", bareRuns.KiB, " KiB,");
    quartiles("same work", workRuns.KiB, " KiB,");
    quartiles("tool/same work per round", Paired(toolRuns.KiB, workRuns.KiB, true),
              "\n peak private memory:");
    quartiles("tool", toolRuns.PrivateKiB, " KiB,");
    quartiles("bare", bareRuns.PrivateKiB, " KiB,");
    quartiles("same work", workRuns.PrivateKiB, " KiB\n");
    std::printf(
        "window, 200 profiles: the longest unanswered message %.1f ms at worst over %zu checks of %d; each "
        "check %.0f ms (median) from the click to its report\n",
        worst, longest.size(), runs, Median(checks));
    return 0;
}
