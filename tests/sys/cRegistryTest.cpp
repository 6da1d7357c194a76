#include "sys/cAppError.h"
#include "sys/cRegistry.h"
#include "tests/support/TestPc.h"

// A key of the test's own under HKEY_CURRENT_USER, removed with everything in it at the end.
TEST(cRegistryTest, ValueBytesReadAsTextUpToTheFirstZeroWithin1024BytesElseTheDefault)
{
    const std::wstring subKey = L"Software\\plotwing2fixTests\\" + std::to_wstring(::GetCurrentProcessId());
    const struct cKeyOwner : cRegKey
    {
        explicit cKeyOwner(const std::wstring& k) : key(k)
        {
            ::RegCreateKeyW(HKEY_CURRENT_USER, k.c_str(), Put());
        }
        ~cKeyOwner() { ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str()); }
        std::wstring key;
    } owner(subKey);
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
        {REG_SZ, Sjis(std::wstring(512, L'あ')) + nul, L"既定"}}; // the limit counts bytes
    for (const auto& [type, bytes, expected] : rows)
    {
        // RegSetValueExA adds a NUL when the byte after a text is NUL; a guard byte keeps the count exact.
        const std::string guarded = bytes + 'G';
        ::RegSetValueExA(owner.Get(), "", 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                         static_cast<DWORD>(bytes.size()));
        EXPECT_EQ(expected, reg.GetString()) << bytes.substr(0, 16) << " / " << bytes.size();
    }
    reg.SubKey(subKey + L"\\地図製品");
    reg.Default(42);
    EXPECT_EQ(L"42|42", reg.GetString() + L"|" + std::to_wstring(reg.GetDWORD()));
    reg.SetValue(L"C:\\地図\\設定.ini");
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg.SetString()) << "the status of the open: the key is missing";
    reg.SetSubKey();
    EXPECT_EQ(0, reg.SetString());
    EXPECT_EQ(L"C:\\地図\\設定.ini", reg.GetString());
    reg.Default(L"3000000000");
    EXPECT_THROW(reg.GetDWORD(), cAppError);
}

TEST(cVariantTest, TextFormsAndLeadingNumbersRoundingHalvesToEven)
{
    const std::pair<cVariant, const wchar_t*> texts[] = {
        {cVariant(), L""}, {-7.0, L"-7"}, {1.5, L"1.5"}, {1e15, L"1E+15"}};
    for (const auto& [value, text] : texts)
        EXPECT_EQ(text, value.ToText());
    const std::pair<const wchar_t*, long> numbers[] = {{L"12abc", 12},  {L"  7", 7},   {L"2.5", 2},
                                                       {L"3.5", 4},     {L"-3.5", -4}, {L"abc", 0},
                                                       {L"1E+2x", 100}, {L".75", 1}};
    for (const auto& [text, number] : numbers)
        EXPECT_EQ(number, cVariant(text).ToLong(L"t")) << text;
    for (const wchar_t* overflow : {L"2147483648", L"2147483647.5", L"-2147483649"})
        EXPECT_THROW(cVariant(overflow).ToLong(L"t"), cAppError) << overflow;
}
