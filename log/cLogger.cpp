#include "log/cLogger.h"
#include "sys/cApplication.h"
#include "sys/cFileSystemObject.h"
#include <cwchar>

cLogger::cLogger()
    : m_outputLevel(3), m_allowOutput(false), m_allowConsole(false),
      m_outputPath(cApplication::Path() + L"\\logger.log")
{
}

void cLogger::DebugOut(const std::wstring& msg, const cAppError* ex)
{
    Out(0, msg, ex);
}

void cLogger::InfoOut(const std::wstring& msg, const cAppError* ex)
{
    Out(1, msg, ex);
}

void cLogger::WarnOut(const std::wstring& msg, const cAppError* ex)
{
    Out(2, msg, ex);
}

void cLogger::ErrorOut(const std::wstring& msg, const cAppError* ex)
{
    Out(3, msg, ex);
}

std::wstring cLogger::FormatEntry(const SYSTEMTIME& now, long lv, const std::wstring& msg,
                                  const cAppError* ex)
{
    wchar_t stamp[32];
    std::swprintf(stamp, 32, L"%04u/%02u/%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    std::wstring entry = stamp;
    static const wchar_t* const tags[] = {L"【DEBUG】", L"【INFO】", L"【WARN】", L"【ERROR】"};
    // Levels outside 0 to 3 have no tag, and then no message either: the entry is the timestamp.
    if (lv >= 0 && lv <= 3)
        entry += tags[lv] + msg;
    if (ex)
        entry += L"\r\n【Err.Number】" + std::to_wstring(ex->Number()) + L"\r\n【Err.Description】" +
                 ex->Description() + L"\r\n【Err.Source】" + ex->Source();
    return entry;
}

void cLogger::Out(long lv, const std::wstring& msg, const cAppError* ex)
{
    if (!m_allowOutput || lv < m_outputLevel)
        return;
    try
    {
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        const std::wstring entry = FormatEntry(now, lv, msg, ex);
        cTextStream stream = cFileSystemObject().OpenTextFile(m_outputPath, cFileSystemObject::ForAppending,
                                                              true, cFileSystemObject::TristateFalse);
        stream.WriteLine(entry);
        stream.Close();
    }
    catch (...)
    {
        // Logging never disturbs the caller: the entry is lost and the next call tries afresh.
    }
}
