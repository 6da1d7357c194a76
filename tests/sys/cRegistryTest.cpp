#include "sys/cRegistry.h"
#include "sys/StrConv.h"
#include "sys/cAppError.h"
#include "sys/cOwned.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>

namespace
{
class cRegistryTestBase : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_subKey = L"Software\\plotwing2fixTests\\" + CurrentTestName();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_subKey.c_str());
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, m_subKey.c_str(), 0, nullptr, 0,
                                                   KEY_ALL_ACCESS, nullptr, m_key.Put(), nullptr));
    }
    void TearDown() override
    {
        m_key.Reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_subKey.c_str());
    }

    // Stores the text with its NUL through the W function.
    void SetText(const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ)
    {
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(m_key.Get(), name.c_str(), 0, type,
                                                  reinterpret_cast<const BYTE*>(text.c_str()),
                                                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
    }
    // Stores exactly these bytes. RegSetValueExA adds a NUL to a text whose byte after the counted ones
    // is NUL, so a guard byte keeps the count exact.
    void SetBytes(const std::wstring& name, DWORD type, const std::string& bytes)
    {
        const std::string guarded = bytes + 'G';
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(m_key.Get(), strconv::ToAnsi(name).c_str(), 0, type,
                                                  reinterpret_cast<const BYTE*>(guarded.data()),
                                                  static_cast<DWORD>(bytes.size())));
    }
    void SetDword(const std::wstring& name, DWORD value)
    {
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(m_key.Get(), name.c_str(), 0, REG_DWORD,
                                                  reinterpret_cast<const BYTE*>(&value), sizeof value));
    }
    // The size the A function reports for the value, or 0 when it is missing.
    DWORD AnsiSize(const std::wstring& name)
    {
        DWORD size = 0;
        if (::RegQueryValueExA(m_key.Get(), strconv::ToAnsi(name).c_str(), nullptr, nullptr, nullptr,
                               &size) != ERROR_SUCCESS)
            return 0;
        return size;
    }
    bool KeyExists(const std::wstring& subKey)
    {
        cRegKey key;
        return ::RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
    }
    cRegistry Reader(const std::wstring& valueName, const cVariant& fallback = cVariant())
    {
        cRegistry reg;
        reg.RegKey(cRegistry::CurrentUser);
        reg.SubKey(m_subKey);
        reg.ValueName(valueName);
        reg.Default(fallback);
        return reg;
    }

    std::wstring m_subKey;
    cRegKey m_key;
};

class cRegistryGetStringTest : public cRegistryTestBase
{
};
class cRegistryLengthTest : public cRegistryTestBase
{
};
class cRegistrySetTest : public cRegistryTestBase
{
};
class cRegistryGetDwordTest : public cRegistryTestBase
{
};
class cRegistryNoRootTest : public cRegistryTestBase
{
};
} // namespace

TEST_F(cRegistryGetStringTest, MissingKeyOrValueGivesDefaultText)
{
    SetText(L"present", L"value");
    cRegistry reg = Reader(L"present", L"fallback");
    reg.SubKey(m_subKey + L"\\missing");
    EXPECT_EQ(L"fallback", reg.GetString());
    reg.SubKey(m_subKey);
    reg.ValueName(L"absent");
    EXPECT_EQ(L"fallback", reg.GetString());
    reg.Default(42);
    EXPECT_EQ(L"42", reg.GetString());
    reg.Default(cVariant());
    EXPECT_EQ(L"", reg.GetString());
}

TEST_F(cRegistryGetStringTest, EmptyValueGivesEmptyTextNotDefault)
{
    SetBytes(L"empty", REG_SZ, "");
    SetText(L"nulOnly", L"");
    EXPECT_EQ(L"", Reader(L"empty", L"fallback").GetString());
    EXPECT_EQ(L"", Reader(L"nulOnly", L"fallback").GetString());
}

TEST_F(cRegistryGetStringTest, EmptyValueNameReadsUnnamedValueQuotesKept)
{
    SetText(L"", L"\"C:\\Program Files (x86)\\kovamap\\common\\plotwing2.ocx\"");
    SetText(L"named", L"other");
    EXPECT_EQ(L"\"C:\\Program Files (x86)\\kovamap\\common\\plotwing2.ocx\"", Reader(L"").GetString());
}

TEST_F(cRegistryGetStringTest, OtherTypesReadAsAnsiBytesUpToFirstZero)
{
    SetText(L"expand", L"%SystemRoot%\\system32", REG_EXPAND_SZ);
    SetBytes(L"binary", REG_BINARY, std::string("ab\x82\xA0\0cd", 7));
    SetDword(L"dword", 0x00434241);
    EXPECT_EQ(L"%SystemRoot%\\system32", Reader(L"expand").GetString());
    EXPECT_EQ(L"abあ", Reader(L"binary").GetString());
    EXPECT_EQ(L"ABC", Reader(L"dword").GetString());
}

TEST_F(cRegistryGetStringTest, LeadByteWithoutTrailIsDropped)
{
    SetBytes(L"beforeNul", REG_BINARY, std::string("ab\x82\0\xA0z", 6));
    SetBytes(L"atEnd", REG_BINARY, "x\x82\x82\x82");
    SetBytes(L"full", REG_BINARY, std::string(1023, 'x') + "\x82");
    EXPECT_EQ(L"ab", Reader(L"beforeNul").GetString());
    EXPECT_EQ(L"xｂ", Reader(L"atEnd").GetString());
    EXPECT_EQ(std::wstring(1023, L'x'), Reader(L"full").GetString());
}

TEST_F(cRegistryGetStringTest, JapaneseKeyPathNameAndDataRead)
{
    const std::wstring subKey = m_subKey + L"\\地図製品\\カルトリアＷ３";
    cRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0,
                                               KEY_SET_VALUE, nullptr, key.Put(), nullptr));
    const std::wstring data = L"C:\\地図\\設定ファイル.ini";
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegSetValueExW(key.Get(), L"設定", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                               static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))));
    cRegistry reg = Reader(L"設定");
    reg.SubKey(subKey);
    EXPECT_EQ(L"C:\\地図\\設定ファイル.ini", reg.GetString());
}

TEST_F(cRegistryLengthTest, TextUpTo1024BytesIsReadWhole)
{
    SetText(L"v1023", std::wstring(1023, L'a'));
    SetBytes(L"v1024", REG_SZ, std::string(1024, 'b'));
    ASSERT_EQ(1024u, AnsiSize(L"v1023"));
    ASSERT_EQ(1024u, AnsiSize(L"v1024"));
    EXPECT_EQ(std::wstring(1023, L'a'), Reader(L"v1023", L"fallback").GetString());
    EXPECT_EQ(std::wstring(1024, L'b'), Reader(L"v1024", L"fallback").GetString());
}

TEST_F(cRegistryLengthTest, LongerTextGivesDefault)
{
    SetText(L"v1025", std::wstring(1024, L'c'));
    SetBytes(L"v1025NoNul", REG_SZ, std::string(1025, 'd'));
    SetText(L"v10000", std::wstring(9999, L'e'));
    ASSERT_EQ(1025u, AnsiSize(L"v1025"));
    ASSERT_EQ(1025u, AnsiSize(L"v1025NoNul"));
    EXPECT_EQ(L"fallback", Reader(L"v1025", L"fallback").GetString());
    EXPECT_EQ(L"fallback", Reader(L"v1025NoNul", L"fallback").GetString());
    EXPECT_EQ(L"fallback", Reader(L"v10000", L"fallback").GetString());
}

TEST_F(cRegistryLengthTest, LimitCountsAnsiBytesNotCharacters)
{
    std::wstring fits;
    for (int i = 0; i < 511; ++i)
        fits += L"あ";
    SetText(L"fits", fits);
    SetText(L"tooLong", fits + L"あ");
    ASSERT_EQ(1023u, AnsiSize(L"fits"));
    EXPECT_EQ(fits, Reader(L"fits", L"fallback").GetString());
    EXPECT_EQ(L"fallback", Reader(L"tooLong", L"fallback").GetString());
}

TEST_F(cRegistrySetTest, SetStringWritesAnsiTextWithNul)
{
    SetDword(L"name", 5);
    cRegistry reg = Reader(L"name");
    reg.SetValue(L"カルトリアＷ３");
    EXPECT_EQ(0, reg.SetString());
    wchar_t buffer[32] = {};
    DWORD type = 0;
    DWORD size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, ::RegQueryValueExW(m_key.Get(), L"name", nullptr, &type,
                                                reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::wstring(L"カルトリアＷ３"), buffer);
    EXPECT_EQ(15u, AnsiSize(L"name"));
    EXPECT_EQ(L"カルトリアＷ３", reg.GetString());
}

TEST_F(cRegistrySetTest, SetStringWritesEmptyAndUnnamedValues)
{
    cRegistry reg = Reader(L"");
    EXPECT_EQ(0, reg.SetString());
    EXPECT_EQ(1u, AnsiSize(L""));
    reg.SetValue(L"既定");
    EXPECT_EQ(0, reg.SetString());
    EXPECT_EQ(5u, AnsiSize(L""));
}

TEST_F(cRegistrySetTest, SetStringOnMissingKeyReturnsOpenStatus)
{
    cRegistry reg = Reader(L"name");
    reg.SubKey(m_subKey + L"\\missing");
    reg.SetValue(L"x");
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg.SetString());
    EXPECT_FALSE(KeyExists(m_subKey + L"\\missing"));
}

TEST_F(cRegistrySetTest, SetSubKeyCreatesNestedKeysAndKeepsExistingOnes)
{
    SetText(L"kept", L"yes");
    cRegistry reg = Reader(L"");
    reg.SetSubKey();
    reg.SubKey(m_subKey + L"\\一\\二\\三");
    reg.SetSubKey();
    EXPECT_TRUE(KeyExists(m_subKey + L"\\一\\二\\三"));
    EXPECT_EQ(L"yes", Reader(L"kept").GetString());
}

TEST_F(cRegistryGetDwordTest, ReadsValuesOfUpToFourBytesLittleEndian)
{
    SetDword(L"dword", 0x12345678);
    SetDword(L"allOnes", 0xFFFFFFFF);
    SetBytes(L"twoBytes", REG_BINARY, "\x34\x12");
    SetBytes(L"text", REG_SZ, std::string("AB\0", 3));
    EXPECT_EQ(0x12345678, Reader(L"dword", 99).GetDWORD());
    EXPECT_EQ(-1, Reader(L"allOnes", 99).GetDWORD());
    EXPECT_EQ(0x1234, Reader(L"twoBytes", 99).GetDWORD());
    EXPECT_EQ(0x4241, Reader(L"text", 99).GetDWORD());
}

TEST_F(cRegistryGetDwordTest, UnreadableValueGivesDefaultNumber)
{
    SetBytes(L"fiveBytes", REG_BINARY, "\x01\x02\x03\x04\x05");
    EXPECT_EQ(7, Reader(L"fiveBytes", 7).GetDWORD());
    EXPECT_EQ(42, Reader(L"missing", 42).GetDWORD());
    EXPECT_EQ(12, Reader(L"missing", L"12.5").GetDWORD());
    EXPECT_EQ(14, Reader(L"missing", L"13.5").GetDWORD());
    EXPECT_EQ(-7, Reader(L"missing", L"-7 days").GetDWORD());
    EXPECT_EQ(0, Reader(L"missing", L"abc").GetDWORD());
    EXPECT_EQ(0, Reader(L"missing").GetDWORD());
}

TEST_F(cRegistryGetDwordTest, OverflowingDefaultRaisesErrorSixEvenWhenValueExists)
{
    SetDword(L"dword", 1);
    cRegistry reg = Reader(L"dword", L"3000000000");
    try
    {
        reg.GetDWORD();
        FAIL() << "no error raised";
    }
    catch (const cAppError& e)
    {
        EXPECT_EQ(6, e.Number());
    }
}

TEST_F(cRegistryNoRootTest, EveryOperationFailsQuietly)
{
    SetText(L"name", L"stored");
    cRegistry reg;
    reg.SubKey(m_subKey);
    reg.ValueName(L"name");
    reg.Default(L"21");
    EXPECT_EQ(L"21", reg.GetString());
    EXPECT_EQ(21, reg.GetDWORD());
    reg.SetValue(L"changed");
    EXPECT_NE(0, reg.SetString());
    reg.SubKey(m_subKey + L"\\child");
    reg.SetSubKey();
    EXPECT_FALSE(KeyExists(m_subKey + L"\\child"));
    EXPECT_EQ(L"stored", Reader(L"name").GetString());
}

namespace
{
const std::wstring TestClassId = L"{6F1C2B0E-3D7A-4C55-9A41-2E8B7D0C9F13}";
const std::wstring ServerPath = L"C:\\Program Files (x86)\\kovamap\\common\\地図.ocx";

class cRegistryClassesRootTest : public ::testing::Test
{
protected:
    void SetUp() override { Remove(); }
    void TearDown() override { Remove(); }
    void Remove()
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + m_classKey).c_str());
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, m_classKey.c_str());
    }
    // Writes the server path as the unnamed value of InprocServer32 below root\path.
    LONG Register(HKEY root, const std::wstring& path)
    {
        cRegKey key;
        const LONG status = ::RegCreateKeyExW(root, (path + L"\\InprocServer32").c_str(), 0, nullptr, 0,
                                              KEY_SET_VALUE, nullptr, key.Put(), nullptr);
        if (status != ERROR_SUCCESS)
            return status;
        return ::RegSetValueExW(key.Get(), nullptr, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(ServerPath.c_str()),
                                static_cast<DWORD>((ServerPath.size() + 1) * sizeof(wchar_t)));
    }
    std::wstring ReadThroughClassesRoot()
    {
        cRegistry reg;
        reg.RegKey(cRegistry::ClassesRoot);
        reg.SubKey(m_classKey + L"\\InprocServer32");
        return reg.GetString();
    }
    const std::wstring m_classKey = L"CLSID\\" + TestClassId;
};
} // namespace

TEST_F(cRegistryClassesRootTest, ReadsServerPathRegisteredMachineWide)
{
    const LONG status = Register(HKEY_CLASSES_ROOT, m_classKey);
    if (status == ERROR_ACCESS_DENIED)
        GTEST_SKIP() << "HKEY_CLASSES_ROOT is not writable for this user";
    ASSERT_EQ(ERROR_SUCCESS, status);
    EXPECT_EQ(L"C:\\Program Files (x86)\\kovamap\\common\\地図.ocx", ReadThroughClassesRoot());
}

TEST_F(cRegistryClassesRootTest, ReadsServerPathRegisteredForCurrentUser)
{
    ASSERT_EQ(ERROR_SUCCESS, Register(HKEY_CURRENT_USER, L"Software\\Classes\\" + m_classKey));
    cRegKey merged;
    // Wine 8 maps HKEY_CLASSES_ROOT to the machine's classes only; Windows merges in the user's.
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, m_classKey.c_str(), 0, KEY_READ, merged.Put()) != ERROR_SUCCESS)
        GTEST_SKIP() << "this system's HKEY_CLASSES_ROOT shows no per-user classes";
    EXPECT_EQ(L"C:\\Program Files (x86)\\kovamap\\common\\地図.ocx", ReadThroughClassesRoot());
}
