#include "security/cDriveTypes.h"
#include "security/cLocalPath.h"
#include "tests/support/TestPc.h"

// Only a drive-letter path on a drive of this PC is ever looked up: every other spelling Windows understands
// for a server, a device or the NT namespace, and every relative path, is turned away by its spelling.
TEST(cLocalPathTest, OnlyAPlainDriveLetterPathOnALocalDriveIsLocal)
{
    using K = cLocalPath::eKind;
    // clang-format off
    const std::pair<const wchar_t*, K> rows[] = {
        {L"C:\\Program Files\\kovamap\\common\\plotwing2.ocx", K::Local}, {L"c:/x/y.ocx", K::Local},
        {L"D:\\地図\\x.ocx:stream", K::Local}, {L"C:\\", K::Local}, // and names that only look reserved:
        {L"C:\\x\\CONSOLE.ocx", K::Local}, {L"C:\\x\\COM0", K::Local}, {L"C:\\x\\LPT10", K::Local}, {L"C:\\x\\nul2.dll", K::Local},
        {L"\\\\server\\share\\x.ocx", K::Network}, {L"//server/share/x.ocx", K::Network}, {L"\\/s\\x", K::Network},
        {L"/\\s/x", K::Network}, {L"\\\\", K::Network}, {L"\\\\?\\UNC\\s\\x", K::Network}, {L"\\\\?\\unc\\s\\x", K::Network},
        {L"\\??\\UNC\\host\\share\\x.ocx", K::Network}, {L"\\\\.\\UNC\\s\\x", K::Network}, {L"//?/UNC/s/x", K::Network},
        {L"\\\\?\\C:\\x.ocx", K::Prefixed}, {L"\\??\\C:\\x.ocx", K::Prefixed}, {L"\\\\.\\C:\\x.ocx", K::Prefixed},
        {L"\\\\?\\GLOBALROOT\\Device\\Mup\\s\\x", K::Prefixed}, {L"\\\\.\\pipe\\x", K::Prefixed},
        {L"x.ocx", K::Relative}, {L".\\x.ocx", K::Relative}, {L"\\x.ocx", K::Relative}, {L"/x.ocx", K::Relative},
        {L"C:x.ocx", K::Relative}, {L"C:", K::Relative}, {L"%ProgramFiles%\\x.ocx", K::Relative}, {L"1:\\x", K::Relative},
        {L"C:\\x\\LPT1.ocx", K::Device}, {L"C:\\NUL", K::Device}, {L"C:\\x\\com9 .txt", K::Device},
        {L"C:\\con\\x.ocx", K::Device}, {L"C:\\x\\CONOUT$", K::Device}, {L"C:\\x\\COM\u00B9", K::Device},
        {L"C:\\x\\LPT1:x.ocx", K::Device}, {L"C:\\x\\nul:$DATA", K::Device},
        {L"C:\\x\\*.ocx", K::Invalid}, {L"C:\\x?.ocx", K::Invalid}, {L"C:\\x\n.ocx", K::Invalid}, {L"C:\\\"x\"", K::Invalid},
        {L"", K::Empty}};
    // clang-format on
    for (const auto& [path, kind] : rows)
        EXPECT_EQ(static_cast<int>(kind), static_cast<int>(cLocalPath::SpellingOf(path))) << path;

    // The drive decides last: a mapped share, or a letter this process does not have, is not looked up.
    std::wstring askedRoot;
    // clang-format off
    for (const auto& [type, kind] : {std::pair{DRIVE_FIXED, K::Local}, {DRIVE_REMOVABLE, K::Local}, {DRIVE_CDROM, K::Local},
             {DRIVE_RAMDISK, K::Local}, {DRIVE_REMOTE, K::NetworkDrive}, {DRIVE_NO_ROOT_DIR, K::NetworkDrive}, {DRIVE_UNKNOWN, K::NetworkDrive}})
        // clang-format on
        EXPECT_EQ(kind, cLocalPath::KindOf(L"z:\\x\\y.ocx",
                                           [&, t = type](const std::wstring& root) {
                                               return askedRoot = root, static_cast<UINT>(t);
                                           }))
            << type;
    EXPECT_EQ(L"z:\\", askedRoot);
    EXPECT_EQ(K::Network, cLocalPath::KindOf(L"\\\\s\\x", [](const std::wstring&) -> UINT { throw 0; }));
    // A reading asks each drive once, each for itself: after C:, a letter with no drive is still not local.
    wchar_t none = L'D';
    while (none < L'Z' && (::GetLogicalDrives() >> (none - L'A') & 1))
        ++none;
    cDriveTypes types;
    EXPECT_EQ(L"1|0|1", Joined(types.IsLocal(L"C:\\x"), types.IsLocal(none + std::wstring(L":\\x")),
                               types.IsLocal(L"C:\\y")));
}
