// Measures the tool against its floors on the prepared demo PC and prints one table.
//   p2fbench <tool.exe> <floor.exe> [runs]
#include "app/MainForm.h"
#include "app/cComponent.h"
#include "catalogue/cCartoriaMapsRegister.h"
#include "sys/StrConv.h"
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

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0.0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
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

struct StartResult
{
    double Seconds = -1;
    SIZE_T PeakWorkingSet = 0;
};

// From process creation to its window visible with the report filled; then the peak working set.
StartResult StartOnce(const std::wstring& exe)
{
    StartResult result;
    std::wstring command = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const double start = Now();
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
    {
        std::fprintf(stderr, "cannot start %ls: error %lu\n", exe.c_str(), ::GetLastError());
        return result;
    }
    FindArgs args{process.dwProcessId, nullptr};
    const double deadline = start + 20.0;
    while (!args.Found && Now() < deadline)
    {
        ::EnumWindows(&FindReadyWindow, reinterpret_cast<LPARAM>(&args));
        if (!args.Found)
            ::Sleep(1);
    }
    if (args.Found)
    {
        result.Seconds = Now() - start;
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (::GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters))
            result.PeakWorkingSet = counters.PeakWorkingSetSize;
        ::PostMessageW(args.Found, WM_CLOSE, 0, 0);
    }
    if (::WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0)
        ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return result;
}

// The system calls one check needs, made directly: the floor of CheckComponent.
void CheckFloor(const std::string& logPath)
{
    auto readValue = [](HKEY root, const char* subKey, const char* name) {
        HKEY key = nullptr;
        char buffer[1024] = {};
        if (::RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS)
        {
            DWORD type = REG_SZ, size = sizeof buffer;
            ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
            ::RegCloseKey(key);
        }
        return std::string(buffer);
    };
    auto appendLog = [&logPath](const std::string& text) {
        HANDLE file = ::CreateFileA(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        ::CloseHandle(file);
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
    for (const char* clsid : {"CLSID\\{5E1D7A20-3B4C-4F8E-9D21-7C3A0B6E4F19}\\InprocServer32",
                              "CLSID\\{2A9F6C13-8E47-4b5d-A6F0-31D8C2E7B940}\\InprocServer32"})
    {
        const std::string path = readValue(HKEY_CLASSES_ROOT, clsid, nullptr);
        appendLog(path + "\r\n");
        ::GetLongPathNameA(path.c_str(), value, sizeof value);
        ::CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE | NORM_IGNOREWIDTH | NORM_IGNOREKANATYPE, value,
                         -1, path.c_str(), -1);
        ::GetFileAttributesA(path.c_str());
    }
    appendLog(std::string(400, 'r') + "\r\n");
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

void Row(const char* what, double tool, double floor, const char* unit, double target)
{
    const double ratio = floor > 0 ? tool / floor : 0;
    std::printf("| %-28s | %12.3f %-3s | %12.3f %-3s | %6.2f | <= %.1f | %s |\n", what, tool, unit, floor,
                unit, ratio, target, ratio <= target ? "met" : "MISSED");
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: p2fbench <tool.exe> <floor.exe> [runs]\n");
        return 2;
    }
    const std::wstring tool = argv[1];
    const std::wstring floorExe = argv[2];
    const int runs = argc > 3 ? std::max(10, _wtoi(argv[3])) : 10;

    std::vector<double> toolStart, floorStart, toolPeak, floorPeak;
    for (int i = 0; i < runs; ++i)
    {
        const StartResult t = StartOnce(tool);
        const StartResult f = StartOnce(floorExe);
        if (t.Seconds < 0 || f.Seconds < 0)
        {
            std::fprintf(stderr, "%s did not show its window\n", t.Seconds < 0 ? "the tool" : "the floor");
            return 1;
        }
        toolStart.push_back(t.Seconds * 1000);
        floorStart.push_back(f.Seconds * 1000);
        toolPeak.push_back(static_cast<double>(t.PeakWorkingSet) / 1024.0);
        floorPeak.push_back(static_cast<double>(f.PeakWorkingSet) / 1024.0);
    }

    // The check in-process, on a hidden window of the tool's own code.
    MainForm form(::GetModuleHandleW(nullptr));
    if (!form.Create(SW_HIDE, false))
        return 1;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);

    const std::string floorLog = strconv::ToAnsi(std::wstring(temp) + L"p2fbench-floor.log");
    const auto [checkSeconds, checkFloorSeconds] = TimePairPerCall(
        50, [&form] { form.CheckComponent(false); }, [&floorLog] { CheckFloor(floorLog); });
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
    }
    std::printf(
        "| measure (median of %d)       | tool            | floor           | ratio  | target | verdict |\n",
        runs);
    std::printf(
        "|------------------------------|-----------------|-----------------|--------|--------|---------|\n");
    Row("start-up to report shown", Median(toolStart), Median(floorStart), "ms", 1.2);
    Row("one check (CheckComponent)", check, checkFloor, "ms", 1.5);
    Row("peak working set", Median(toolPeak), Median(floorPeak), "KiB", 1.3);
    const long long size = FileSize(tool);
    std::printf("| %-28s | %12lld KiB | %15s | %6s | <= 600 KB | %s |\n", "exe size", size / 1024, "", "",
                size <= 600 * 1000 ? "met" : "MISSED");
    return 0;
}
