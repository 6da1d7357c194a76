#include "sys/cAppError.h"
#include "registry/cKey.h"
#include "registry/cRegistry.h"
#include "tests/support/TestPc.h"

TEST(cRegistryTest, ValueBytesReadAsTextUpToTheFirstZeroWithin1024BytesElseTheDefault)
{
    // A key of the test's own under HKEY_CURRENT_USER, removed with everything in it at the end.
    const std::wstring subKey = L"Software\\plotwing2fixTests\\" + std::to_wstring(::GetCurrentProcessId());
    struct cOwnKey : cRegKey
    {
        std::wstring Path;
        ~cOwnKey() { ::RegDeleteTreeW(HKEY_CURRENT_USER, Path.c_str()); }
    } key{cRegKey(), subKey};
    ::RegCreateKeyW(HKEY_CURRENT_USER, subKey.c_str(), key.Put());
    cRegistry reg;
    reg.RegKey(cRegistry::CurrentUser);
    reg.SubKey(subKey);
    reg.Default(L"既定");
    const std::string nul(1, '\0');
    const std::tuple<DWORD, std::string, std::wstring> rows[] = {
        {REG_SZ, "", L""},
        {REG_EXPAND_SZ, "%SystemRoot%\\x" + nul, L"%SystemRoot%\\x"},
        {REG_BINARY, "ab\x82\xA0" + nul + "cd", L"abあ"},
        {REG_BINARY, "ab\x82" + nul + "\xA0z", L"ab"}, // a lead byte without its trail byte is dropped
        {REG_DWORD, "\x2A\x00\x00\x00", L"*"},
        {REG_SZ, std::string(1023, 'a') + nul, std::wstring(1023, L'a')},
        {REG_SZ, std::string(1024, 'b'), std::wstring(1024, L'b')}, // no NUL: the size bounds the text
        {REG_SZ, std::string(1024, 'c') + nul, L"既定"},
        {REG_SZ, Sjis(std::wstring(512, L'あ')) + nul, L"既定"},              // the limit counts bytes
        {REG_SZ, "C:\\a.ocx" + nul + std::string(1100, 'x') + nul, L"既定"}}; // and all of them
    for (const auto& [type, bytes, expected] : rows)
    {
        // RegSetValueExA adds a NUL when the byte after a text is NUL; a guard byte keeps the count exact.
        const std::string guarded = bytes + 'G';
        ::RegSetValueExA(key.Get(), "", 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                         static_cast<DWORD>(bytes.size()));
        EXPECT_EQ(expected, reg.GetString()) << bytes.substr(0, 16) << " / " << bytes.size();
        // The UTF-16 reading measures a value as this one does, to leave what it never read unread.
        cKey same;
        EXPECT_EQ(expected == L"既定" ? cKey::eAnsiSize::Exceeds : cKey::eAnsiSize::Fits,
                  (same.Open(HKEY_CURRENT_USER, subKey, KEY_QUERY_VALUE), same.AnsiSize(L"", 1024)));
    }
    reg.SubKey(subKey + L"\\地図製品");
    reg.Default(42);
    reg.SetValue(L"C:\\地図\\設定.ini");
    EXPECT_EQ(L"42", reg.GetString());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg.SetString()) << "the status of the open: the key is missing";
    reg.SetSubKey();
    EXPECT_EQ(0, reg.SetString());
    EXPECT_EQ(L"C:\\地図\\設定.ini", reg.GetString());
}

TEST(cVariantTest, TextFormsAndLeadingNumbersRoundedHalvesToEven)
{
    EXPECT_EQ(L"|-7|1.5|1E+15", cVariant().ToText() + L"|" + cVariant(-7.0).ToText() + L"|" +
                                    cVariant(1.5).ToText() + L"|" + cVariant(1e15).ToText());
    EXPECT_EQ(2, cVariant(L"2.5").ToLong(L"t")) << "halves to even";
    EXPECT_THROW(cVariant(L"2147483647.5").ToLong(L"t"), cAppError);
}
