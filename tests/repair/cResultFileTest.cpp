#include "repair/cResultFile.h"
#include "repair/cResultJson.h"
#include "tests/support/TestPc.h"
#include <thread>

// When and by which build, as a collector reads them: UTC to the second with its Z, the four parts in order.
TEST(cResultJsonTest, SaysWhenToTheSecondAndTheFourPartFileVersion)
{
    VS_FIXEDFILEINFO fixed{};
    fixed.dwFileVersionMS = 0x00020001, fixed.dwFileVersionLS = 0x0003000A;
    EXPECT_EQ(L"0987-01-07T09:05:02Z|2.1.3.10|none",
              Joined(cResultJson::Stamp({987, 1, 1, 7, 9, 5, 2, 999}), *cResultJson::VersionOf(fixed),
                     cResultJson::VersionOf(std::nullopt).value_or(L"none")));
}

// Written whole or not at all: a run without the rights makes nothing, a folder a user made is refused, a
// reader holding the last result keeps it as it was, and one that lets go within the bound gets the new one.
TEST(cResultFileTest, WrittenWholeOrNotAtAll)
{
    struct cUsersFolder : cResultFile
    {
        using cResultFile::cResultFile;
        cSecureFolder::cHeld Folder(const std::wstring& folder) const override
        {
            cSecureFolder::cHeld held;
            held.Result = {cSecureFolder::eOutcome::Untrusted, folder, ERROR_SUCCESS};
            return held;
        }
    };
    const cTempFolder temp;
    const cResultFile file(temp / L"");
    const std::wstring folder = temp / L"plotwing2fix\\result";
    const cResultFile::cKept unelevated = file.Keep(L"{}", false),
                             refused = cUsersFolder(temp / L"").Keep(L"{}", true);
    EXPECT_EQ(L"管理者権限がないため、結果ファイルは書きません：" + folder +
                  L"\\last.json|0|"
                  L"結果ファイルを書けませんでした（結果フォルダーまたはその途中のフォルダーの所有者が "
                  L"SYSTEM、Administrators、TrustedInstaller のどれでもありません：" +
                  folder + L"）：" + file.Path() + L"|0",
              Joined(unelevated.Reason, fs::exists(temp / L"plotwing2fix"), refused.Reason,
                     fs::exists(file.Path())));
    ASSERT_EQ(cResultFile::eKept::Written, file.Keep(L"{\"n\":1}", true).Outcome);
    // A reader that lets others read and write, but not delete: a write into the file itself would succeed.
    cHandle reader(::CreateFileW(file.Path().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr));
    const cResultFile::cKept held = file.Keep(L"{\"n\":2}", true);
    const std::string during = ReadBytes(file.Path());
    std::thread letGo([&reader] { ::Sleep(500), reader.Reset(); });
    const cResultFile::cKept later = file.Keep(L"{\"n\":3}", true);
    letGo.join();
    EXPECT_EQ(L"1|{\"n\":1}\r\n|0|{\"n\":3}\r\n|1",
              Joined(held.Reason.starts_with(L"結果ファイルを書けませんでした（"), strconv::ToWide(during),
                     static_cast<int>(later.Outcome), strconv::ToWide(ReadBytes(file.Path())),
                     std::distance(fs::directory_iterator(folder), fs::directory_iterator())))
        << "nothing but the result left in its folder";
}
