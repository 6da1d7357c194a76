#include "registry/cClassesFile.h"
#include "registry/cHiveFile.h"
#include "tests/support/TestPc.h"
#include <set>

namespace
{
using O = cClassesFile::eOpen;
const std::wstring Ctl = L"{5E1D7A20-3B4C-4F8E-9D21-7C3A0B6E4F19}",
                   Lib = L"{2A9F6C13-8E47-4B5D-A6F0-31D8C2E7B940}";
std::wstring Hive(const std::wstring& name)
{
    return TestFolder() + L"fixtures\\hives\\" + name;
}
// The fixture as a profile's classes file: the status of `path`, the fault, its value `name`, and then the
// status of a look-up of a key that is there.
std::wstring Lookup(const cTempFolder& profile, const std::wstring& fixture, const std::wstring& path)
{
    WriteBytes(profile / (cClassesFile::Below + 1), ReadBytes(Hive(fixture)));
    cClassesFile file;
    file.Open(profile / L".");
    cHiveFile hive(file.Reader(), file.Size());
    cHiveFile::cNode key;
    const LONG status = hive.OpenKey(nullptr, path, key);
    const std::wstring value = status ? L"" : hive.Read(key).Text;
    return Joined(status, static_cast<int>(hive.Fault()), value, hive.OpenKey(nullptr, L"CLSID", key));
}
} // namespace

TEST(cHiveFileTest, FixturesFromAnotherWriterReadOrRefusedEachForItsFault)
{
    using F = cHiveFile::eFault;
    const cTempFolder profile;
    const std::wstring server = L"Wow6432Node\\CLSID\\" + Ctl + L"\\InprocServer32",
                       lib = L"WOW6432NODE\\clsid\\" + Lib;
    std::wstring deep;
    while (deep.size() <= 2 * cHiveFile::MaxDepth)
        deep += L"a\\";
    // In the well-formed file: the key's status and its value.
    // clang-format off
    const std::tuple<std::wstring, LONG, std::wstring> found[] = {{server, 0, L"C:\\Program Files (x86)\\kovamap\\common\\plotwing2.ocx"},
        {L"Wow6432Node\\CLSID\\{00000007-0000-0000-0000-000000000000}", 0, L""}, {lib + L"\\TreatAs", 0, Ctl},
        {L"CLSID\\" + Lib + L"\\InProcServer32", 0, L"%ProgramFiles%\\kovamap\\common\\lexgrid4b.dll"},
        {lib + L"\\InprocServer32", ERROR_FILE_NOT_FOUND, L""}, {L"CAF\u00c9", 0, L""}, {L"地図\\", 0, L""}};
    // clang-format on
    for (const auto& [path, status, value] : found)
        EXPECT_EQ(Joined(status, 0, value, 0), Lookup(profile, L"classes.dat", path)) << path;
    // clang-format off
    const std::tuple<std::wstring, std::wstring, F> refused[] = {{L"classes.dat", deep, F::Bound}, {L"dirty.dat", server, F::UnsavedChanges},
        {L"checksum.dat", server, F::Checksum}, {L"notahive.dat", server, F::NotAHive}, {L"link.dat", server, F::Link},
        {L"duplicate.dat", server, F::DuplicateName}, {L"loop.dat", server, F::Loop}, {L"outside.dat", server, F::Damaged},
        {L"crossing.dat", server, F::Damaged}, {L"signature.dat", server, F::Damaged}, {L"truncated.dat", server, F::Damaged}};
    // clang-format on
    for (const auto& [fixture, path, fault] : refused)
        EXPECT_EQ(
            Joined(ERROR_REGISTRY_CORRUPT, static_cast<int>(fault), std::wstring(), ERROR_REGISTRY_CORRUPT),
            Lookup(profile, fixture, path))
            << fixture;
    EXPECT_EQ(F::Unreadable, cHiveFile([](ULONGLONG, void*, DWORD) { return false; }, 8192).Open());
    std::set<std::wstring> reasons{L""};
    for (int f = 1; f <= static_cast<int>(F::Bound); ++f)
        reasons.insert(cHiveFile::ReasonOf(static_cast<F>(f)));
    EXPECT_EQ(10u, reasons.size()) << "a reason of its own for each fault";
}

TEST(cHiveFileTest, EachValueReadFromTheFileAsTheLiveRegistryGivesIt)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const std::wstring subKey = L"Software\\plotwing2fixTests\\" + std::to_wstring(::GetCurrentProcessId());
    const cAtEnd removed([&] { ::RegDeleteTreeW(HKEY_CURRENT_USER, subKey.c_str()); });
    cRegKey created;
    ASSERT_EQ(0, ::RegCreateKeyW(HKEY_CURRENT_USER, subKey.c_str(), created.Put()));
    const cKey live(created.Release());
    const std::string bytes = ReadBytes(Hive(L"classes.dat"));
    cHiveFile hive(
        [&](ULONGLONG at, void* into, DWORD n) { return bytes.copy(static_cast<char*>(into), n, at) == n; },
        bytes.size());
    cHiveFile::cNode values;
    ASSERT_EQ(0, hive.OpenKey(nullptr, L"Values", values));
    const auto shown = [](const cKey::cValue& v) {
        return Joined(static_cast<int>(v.Kind), v.Type, v.Status, v.Text);
    };
    std::istringstream table(ReadBytes(Hive(L"values.txt"))); // name, type, data in hex and '-'
    std::string name, hex;
    std::wstring rows; // each row's name, kind and length of text
    for (DWORD type = 0; table >> name >> type >> hex;)
    {
        std::string data;
        for (size_t at = 0; at + 1 < hex.size(); at += 2)
            data += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
        data += "GG"; // a guard: the count alone says where the value ends
        ::RegSetValueExW(live.Get(), strconv::ToWide(name).c_str(), 0, type,
                         reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size() - 2));
        const cKey::cValue value = hive.Read(values, strconv::ToWide(name));
        EXPECT_EQ(shown(live.Read(strconv::ToWide(name))), shown(value)) << name;
        rows += Joined(strconv::ToWide(name), static_cast<int>(value.Kind), value.Text.size()) + L" ";
    }
    EXPECT_EQ(L"Path|1|8 Expand|1|20 Binary|2|2 Dword|2|1 Odd|1|3 Empty|1|0 Big|1|9999 Long|3|0 ", rows);
}

TEST(cClassesFileTest, ReadOnlyThePlainFileAtTheProfilesOwnPlaceAndOnlyThePagesNeeded)
{
    const std::wstring at = L"\\\\?\\C:\\users\\a" + std::wstring(cClassesFile::Below);
    // clang-format off
    const std::tuple<DWORD, DWORD, std::wstring, O> rows[] = {{FILE_ATTRIBUTE_ARCHIVE, 1, at, O::Opened},
        {FILE_ATTRIBUTE_NORMAL, 1, L"\\\\?\\C:\\USERS\\A\\appdata\\Local\\Microsoft\\Windows\\USRCLASS.DAT", O::Opened},
        {FILE_ATTRIBUTE_ARCHIVE, 1, L"\\\\?\\D:\\elsewhere\\UsrClass.dat", O::Redirected}, {FILE_ATTRIBUTE_DIRECTORY, 1, at, O::Redirected},
        {FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT, 1, at, O::Redirected}, {FILE_ATTRIBUTE_ARCHIVE, 2, at, O::Redirected}};
    // clang-format on
    for (const auto& [attributes, links, opened, expected] : rows)
        EXPECT_EQ(expected, cClassesFile::WayOf(attributes, links, at, opened))
            << attributes << L" " << opened;
    EXPECT_EQ(O::Redirected, cClassesFile::WayOf(FILE_ATTRIBUTE_ARCHIVE, 1, L"", L"")) << "no final path";

    const cTempFolder profile;
    cClassesFile file;
    EXPECT_EQ(O::NoFile, file.Open(profile / L"."));
    const std::string bytes = ReadBytes(Hive(L"classes.dat"));
    const std::wstring path = profile / (cClassesFile::Below + 1);
    WriteBytes(path, bytes);
    ASSERT_EQ(O::Opened, file.Open(profile / L"."));
    cHiveFile hive(file.Reader(), file.Size());
    cHiveFile::cNode key;
    EXPECT_EQ(0, hive.OpenKey(nullptr, L"Wow6432Node\\CLSID\\" + Ctl + L"\\InprocServer32", key));
    EXPECT_EQ(cKey::eValue::Text, hive.Read(key).Kind);
    EXPECT_LE(file.PagesRead(), 24u) << "of " << bytes.size() / 4096 << " pages";
    // Shared with every writer while it is held, and never written.
    EXPECT_TRUE(cHandle(::CreateFileW(path.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr))
                    .IsValid());
    file.Close();
    EXPECT_EQ(bytes, ReadBytes(path));
    {
        const cHandle held(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(O::InUse, file.Open(profile / L"."));
    }
    // A folder on the way swapped for a link (scripts/test makes C:\p2f-linked-profile\AppData one, which
    // Wine shows as a reparse point): the file reached through it is not read.
    if (const DWORD link = ::GetFileAttributesW(L"C:\\p2f-linked-profile\\AppData");
        link != INVALID_FILE_ATTRIBUTES && (link & FILE_ATTRIBUTE_REPARSE_POINT))
    {
        const std::wstring target = L"C:\\p2f-link-target\\Local\\Microsoft\\Windows\\UsrClass.dat";
        const cAtEnd removed([&] { fs::remove(target); });
        WriteBytes(target, bytes);
        EXPECT_EQ(O::Redirected, file.Open(L"C:\\p2f-linked-profile"));
        EXPECT_EQ(ERROR_CANT_RESOLVE_FILENAME, file.Status());
    }
}
