#include "tests/support/TestSupport.h"
#include "sys/StrConv.h"
#include <gtest/gtest.h>
#include <shlobj.h>

std::wstring CurrentTestName()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return info ? strconv::ToWide(std::string(info->test_suite_name()) + "." + info->name(), CP_UTF8)
                : L"none";
}

cTempFolder::cTempFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    m_path = std::wstring(temp) + L"p2ftest-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
             std::to_wstring(::GetTickCount()) + L"\\";
    RemoveTree(m_path);
    MakeFolders(m_path);
}

cTempFolder::~cTempFolder()
{
    RemoveTree(m_path);
}

void RemoveTree(const std::wstring& path)
{
    std::wstring base = path;
    while (!base.empty() && base.back() == L'\\')
        base.pop_back();
    const DWORD attributes = ::GetFileAttributesW(base.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    {
        ::SetFileAttributesW(base.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!::DeleteFileW(base.c_str()))
            ::RemoveDirectoryW(base.c_str());
        return;
    }
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW((base + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..")
                RemoveTree(base + L"\\" + name);
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(base.c_str());
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

std::string ReadFileBytes(const std::wstring& path)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    ::CloseHandle(file);
    return bytes;
}

void MakeFolders(const std::wstring& path)
{
    for (size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == L'\\')
            ::CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
}

std::wstring TestProgramFolder()
{
    wchar_t path[MAX_PATH * 2] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring FixturePath(const std::wstring& name)
{
    return TestProgramFolder() + L"fixtures\\" + name;
}

std::wstring ToolPath()
{
    return TestProgramFolder() + L"plotwing2fix.exe";
}

std::wstring ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
    return path;
}

std::vector<std::string> SplitCrLf(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size())
    {
        const size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos)
        {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string Sjis(const std::wstring& text)
{
    return strconv::ToAnsi(text, 932);
}
