#include "sys/cRegistry.h"
#include "sys/cAppError.h"
#include "sys/cOwned.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>

const std::string Nul(1, '\0');

class cRegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_subKey.c_str()); // leftovers of a crashed run
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyW(HKEY_CURRENT_USER, m_subKey.c_str(), m_key.Put()));
    }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, m_subKey.c_str()); }
    // RegSetValueExA adds a NUL when the byte after a text is NUL; the guard keeps the count exact.
    LONG Set(const char* name, DWORD type, const std::string& bytes)
    {
        const std::string guarded = bytes + 'G';
        return ::RegSetValueExA(m_key.Get(), name, 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                                static_cast<DWORD>(bytes.size()));
    }
    cRegistry Reader(const std::wstring& name, const cVariant& fallback = {}, const std::wstring& below = L"")
    {
        cRegistry reg;
        reg.RegKey(cRegistry::CurrentUser);
        reg.SubKey(m_subKey + below);
        reg.ValueName(name);
        reg.Default(fallback);
        return reg;
    }
    std::wstring m_subKey = L"Software\\plotwing2fixTests\\" + CurrentTestName();
    cRegKey m_key;
};

TEST_F(cRegistryTest, FailedOperationsGiveDefaultOrStatusQuietly)
{
    ASSERT_EQ(ERROR_SUCCESS, Set("present", REG_SZ, "value" + Nul));
    EXPECT_EQ(L"fallback", Reader(L"present", L"fallback", L"\\missing").GetString());
    EXPECT_EQ(L"fallback", Reader(L"absent", L"fallback").GetString());
    EXPECT_EQ(L"42", Reader(L"absent", 42).GetString());
    EXPECT_EQ(L"", Reader(L"absent").GetString());
    cRegistry reg = Reader(L"present", L"21", L"\\child");
    reg.RegKey(0); // no root key at all
    reg.SetSubKey();
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ::RegDeleteKeyW(m_key.Get(), L"child")) << "the key was created";
    reg.SubKey(m_subKey);
    EXPECT_NE(0, reg.SetString());
    EXPECT_EQ(L"21", reg.GetString());
    EXPECT_EQ(21, reg.GetDWORD());
}

TEST_F(cRegistryTest, ValueBytesReadAsTextUpToFirstZeroWithin1024Bytes)
{
    const std::tuple<DWORD, std::string, std::wstring> rows[] = {
        {REG_SZ, "", L""},
        {REG_EXPAND_SZ, "%SystemRoot%\\system32" + Nul, L"%SystemRoot%\\system32"},
        {REG_BINARY, "ab\x82\xA0" + Nul + "cd", L"abあ"},
        {REG_BINARY, "ab\x82" + Nul + "\xA0z", L"ab"}, // a lead byte without its trail byte is dropped
        {REG_DWORD, "ABC" + Nul, L"ABC"},
        {REG_SZ, std::string(1023, 'a') + Nul, std::wstring(1023, L'a')},
        {REG_SZ, std::string(1024, 'b'), std::wstring(1024, L'b')}, // no NUL: the size bounds the text
        {REG_SZ, std::string(1024, 'c') + Nul, L"fallback"},
        {REG_SZ, std::string(9999, 'd') + Nul, L"fallback"},
        {REG_SZ, Sjis(std::wstring(512, L'あ')) + Nul, L"fallback"}, // the limit counts bytes
    };
    for (const auto& [type, bytes, expected] : rows)
    {
        SCOPED_TRACE(bytes.substr(0, 24) + " / " + std::to_string(bytes.size()));
        ASSERT_EQ(ERROR_SUCCESS, Set("", type, bytes));
        EXPECT_EQ(expected, Reader(L"", L"fallback").GetString());
    }
}

TEST_F(cRegistryTest, JapaneseKeyPathAndDataWrittenAndRead)
{
    cRegistry reg = Reader(L"設定", {}, L"\\地図製品\\カルトリアＷ３");
    reg.SetValue(L"C:\\地図\\設定.ini");
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg.SetString()); // the status of the open: the key is missing
    reg.SetSubKey();
    EXPECT_EQ(0, reg.SetString());
    wchar_t text[32] = {};
    DWORD size = sizeof text;
    ASSERT_EQ(ERROR_SUCCESS, ::RegGetValueW(m_key.Get(), L"地図製品\\カルトリアＷ３", L"設定", RRF_RT_REG_SZ,
                                            nullptr, text, &size));
    EXPECT_EQ(std::wstring(L"C:\\地図\\設定.ini"), text);
    EXPECT_EQ(26u, size) << "twelve characters and the NUL";
    EXPECT_EQ(L"C:\\地図\\設定.ini", reg.GetString());
}

TEST_F(cRegistryTest, GetDwordReadsUpToFourBytesElseDefaultNumber)
{
    ASSERT_EQ(ERROR_SUCCESS, Set("dword", REG_DWORD, "\x78\x56\x34\x12"));
    ASSERT_EQ(ERROR_SUCCESS, Set("short", REG_BINARY, "\x34\x12"));
    ASSERT_EQ(ERROR_SUCCESS, Set("five", REG_BINARY, "\x01\x02\x03\x04\x05"));
    const std::tuple<const wchar_t*, cVariant, long> rows[] = {
        {L"dword", 99, 0x12345678}, {L"short", 99, 0x1234},  {L"five", 7, 7},    {L"missing", L"12.5", 12},
        {L"missing", L"13.5", 14},  {L"missing", L"abc", 0}, {L"missing", {}, 0}};
    for (const auto& [name, fallback, expected] : rows)
    {
        SCOPED_TRACE(expected);
        EXPECT_EQ(expected, Reader(name, fallback).GetDWORD());
    }
    try
    {
        Reader(L"dword", L"3000000000").GetDWORD();
        ADD_FAILURE() << "no overflow raised although the value exists";
    }
    catch (const cAppError& e)
    {
        EXPECT_EQ(6, e.Number());
    }
}

TEST_F(cRegistryTest, ClassesRootIsRead)
{
    const std::wstring key = L"plotwing2fixTests.ClassesRoot";
    const LONG status = ::RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, L"x", sizeof L"x");
    if (status == ERROR_ACCESS_DENIED)
        GTEST_SKIP() << "HKEY_CLASSES_ROOT is not writable for this user";
    cRegistry reg;
    reg.RegKey(cRegistry::ClassesRoot);
    reg.SubKey(key);
    const std::wstring read = reg.GetString();
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
    ASSERT_EQ(ERROR_SUCCESS, status);
    EXPECT_EQ(L"x", read);
}
