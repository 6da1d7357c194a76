#pragma once
#include "sys/cAppError.h"
#include <windows.h>
#include <string>

// Appends timestamped, level-tagged entries to one text file; every write failure is swallowed.
// No handle is held between entries: each accepted message opens, appends and closes the file.
class cLogger
{
public:
    cLogger();

    void OutputLevel(long vData) { m_outputLevel = vData; }
    void AllowOutput(bool vData) { m_allowOutput = vData; }
    void AllowConsole(bool vData) { m_allowConsole = vData; }
    void OutputPath(const std::wstring& vData) { m_outputPath = vData; }

    // `ex`, when given, adds its number, description and source as an error block.
    void DebugOut(const std::wstring& msg, const cAppError* ex = nullptr);
    void InfoOut(const std::wstring& msg, const cAppError* ex = nullptr);
    void WarnOut(const std::wstring& msg, const cAppError* ex = nullptr);
    void ErrorOut(const std::wstring& msg, const cAppError* ex = nullptr);
    void Out(long lv, const std::wstring& msg, const cAppError* ex = nullptr);

    // The entry `Out` writes for these arguments at this local time, without the final CR LF.
    static std::wstring FormatEntry(const SYSTEMTIME& now, long lv, const std::wstring& msg,
                                    const cAppError* ex);

private:
    long m_outputLevel;
    bool m_allowOutput;
    bool m_allowConsole;
    std::wstring m_outputPath;
};
