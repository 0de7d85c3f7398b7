// What the user is told, and what is left, when a step of the installation fails.
#include <gtest/gtest.h>

#include <cstdlib>

#include "e2e/installer_fixture.h"

namespace e2e {
namespace {

using ui::Control;

constexpr wchar_t kSetup[] = L"C:\\veltrane-e2e";
const std::wstring kBlanks4 = L"    ";

void ExpectErrorBox(const driver::MessageBoxInfo& box, HWND owner, const std::wstring& text) {
  EXPECT_EQ(box.caption, L"Error");
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.owner, owner);
  EXPECT_TRUE(box.icon != nullptr);
  EXPECT_EQ(box.buttonIds, std::vector<int>{IDOK});
}

TEST_F(InstallerTest, RootThatCannotBeCreatedIsReportedAndChangesNothing) {
  LayOut(kSetup, Extractor::Real);
  Launch();
  TypePath(L"Q:\\nowhere\\Quorvale\\");  // no drive Q:
  ClickInstall();
  const auto box = ErrorBox();
  ASSERT_TRUE(box);
  ExpectErrorBox(*box, window_,
                 L"安装目录创建失败！请更换换到C盘以外目录或者请使用管理员权限运行！" + kBlanks4);
  Acknowledge(*box);
  EXPECT_EQ(Look(), kSettingsLook);
  EXPECT_FALSE(RecordKeyExists());
}

// The record and path.dat keep GBK: a typed root whose name GBK cannot hold would be recorded as
// another folder's. It is refused before anything is written.
TEST_F(InstallerTest, TypedRootGbkCannotHoldIsRefusedWithNothingWritten) {
  LayOut(kSetup, Extractor::StandIn);
  Launch();
  RemoveTree(L"C:\\Zo\u00eb");
  TypePath(L"C:\\Zo\u00eb\\Quorvale\\");
  ClickInstall();
  const auto box = ErrorBox();
  ASSERT_TRUE(box);
  ExpectErrorBox(*box, window_, kNotRecordable);
  Acknowledge(*box);
  EXPECT_EQ(Look(), kSettingsLook);
  EXPECT_FALSE(Exists(L"C:\\Zo\u00eb"));
  EXPECT_FALSE(RecordKeyExists());
  EXPECT_FALSE(Exists(AppDataPathRecord()));
  EXPECT_FALSE(Exists(PublisherFolder()));
}

TEST_F(InstallerTest, APathTypedAfterAFailureIsTheOneInstalledTo) {
  LayOut(kSetup, Extractor::StandIn);
  Launch();
  TypePath(L"Q:\\nowhere\\Quorvale\\");
  ClickInstall();
  const auto box = ErrorBox();
  ASSERT_TRUE(box);
  Acknowledge(*box);
  TypePath(L"D:\\Quorvale\\");
  ClickInstall();
  EXPECT_FALSE(ErrorBox(500));
  EXPECT_EQ(StandInCommandLine(),
            L"C:\\veltrane-e2e\\lib\\7z.exe x D:\\Quorvale\\\\brisel.7z -oD:\\Quorvale\\ -aoa");
}

TEST_F(InstallerTest, ArchiveThatCannotBeWrittenStopsInTheWritingLook) {
  LayOut(kSetup, Extractor::Real);
  // A directory where the archive file should go cannot be opened for writing.
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, L"C:\\Quorvale\\brisel.7z", nullptr), ERROR_SUCCESS);
  Launch();
  ClickInstall();
  const auto box = ErrorBox();
  ASSERT_TRUE(box);
  ExpectErrorBox(*box, window_,
                 L"文件写出失败！请更换换到C盘以外目录或者请使用管理员权限运行！" + kBlanks4);
  Acknowledge(*box);
  EXPECT_EQ(Look(), kWritingLook);
  EXPECT_FALSE(RecordKeyExists());
  EXPECT_FALSE(Exists(AppDataPathRecord()));
}

// Clicks install and expects the unpacking failure: its message, then the Unpacking look with
// nothing left of the run, not even the root it made.
void InstallAndExpectUnpackFailure(InstallerTest& test) {
  test.ClickInstall();
  const auto box = test.ErrorBox();
  ASSERT_TRUE(box);
  ExpectErrorBox(*box, test.Window(),
                 L"文件解压缩失败！请更换换到C盘以外目录或者请使用管理员权限运行！" + kBlanks4);
  test.Acknowledge(*box);
  EXPECT_EQ(test.Look(), kUnpackingLook);
  EXPECT_FALSE(Exists(L"C:\\Quorvale")) << "archive, unpacked files and root are gone";
  EXPECT_FALSE(Exists(PublisherFolder())) << "nor the uninstaller written while 7-Zip ran";
}

TEST_F(InstallerTest, MissingExtractorLeavesNothingAndMayBeRetried) {
  LayOut(kSetup, Extractor::Missing);
  Launch();
  for (int attempt = 0; attempt < 2; ++attempt) {
    SCOPED_TRACE(attempt);
    InstallAndExpectUnpackFailure(*this);
  }
  EXPECT_FALSE(RecordKeyExists());
  EXPECT_FALSE(Exists(AppDataPathRecord()));
  // The extractor missing as the program started is looked for again at the click.
  ASSERT_TRUE(CopyFileW((driver::DistDirectory() + L"\\lib\\7z.exe").c_str(),
                        (std::wstring(kSetup) + L"\\lib\\7z.exe").c_str(), TRUE));
  ClickInstall();
  EXPECT_EQ(Look(), kDoneLook);
}

// The shipped extractor is checked as the program starts and held from then on: nothing can be
// written over it before the click. Writing its own bytes over it until that fails keeps the test
// free of the moment the check ends.
TEST_F(InstallerTest, TheExtractorIsHeldAgainstWritingFromTheStart) {
  LayOut(kSetup, Extractor::Real);
  Launch();
  const std::wstring extractor = std::wstring(kSetup) + L"\\lib\\7z.exe";
  const std::wstring same = driver::DistDirectory() + L"\\lib\\7z.exe";
  DWORD error = ERROR_SUCCESS;
  EXPECT_TRUE(driver::WaitUntil(
      [&] {
        if (CopyFileW(same.c_str(), extractor.c_str(), FALSE)) return false;
        error = GetLastError();
        return true;
      },
      10000));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(DeleteFileW(extractor.c_str()));
  ClickInstall();
  EXPECT_EQ(Look(), kDoneLook);
}

TEST_F(InstallerTest, ExtractorThatFailsIsNotReportedAsAFinishedInstallation) {
  LayOut(kSetup, Extractor::StandIn, 2);
  Launch();
  InstallAndExpectUnpackFailure(*this);
  EXPECT_FALSE(RecordKeyExists()) << "no record for a failed unpack";
  EXPECT_FALSE(Exists(AppDataPathRecord())) << "no path.dat for a failed unpack";
}

// E: has room for the archive only, F: not even for that. Registered to run with the two small
// drives its script maps into the prefix, and the installation's need it works out.
TEST_F(InstallerTest, DriveShortOfSpaceIsReportedAndNothingIsWritten) {
  const char* need = std::getenv("VELTRANE_NEED_MB");
  if (need == nullptr) GTEST_SKIP() << "runs on small drives";
  LayOut(kSetup, Extractor::Real);
  Launch();
  for (const std::wstring drive : {L"E:\\", L"F:\\"}) {
    SCOPED_TRACE(drive);
    ULARGE_INTEGER space{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(drive.c_str(), &space, nullptr, nullptr));
    TypePath(drive + L"Quorvale\\");
    ClickInstall();
    const auto box = ErrorBox();
    ASSERT_TRUE(box);
    ExpectErrorBox(*box, window_,
                   L"磁盘空间不足！安装需要 " + std::wstring(need, need + strlen(need)) +
                       L" MB，所选磁盘只有 " + std::to_wstring(space.QuadPart >> 20) +
                       L" MB 可用，请更换安装目录。");
    Acknowledge(*box);
    EXPECT_EQ(Look(), kSettingsLook);
    EXPECT_FALSE(Exists(drive + L"Quorvale"));
  }
}

TEST_F(InstallerTest, AbsentStartProgramStillRecordsTheInstallation) {
  LayOut(kSetup, Extractor::StandIn);  // exits 0 and unpacks nothing
  Launch();
  ClickInstall();
  EXPECT_FALSE(ErrorBox(500));
  EXPECT_EQ(Look(), kDoneLook);
  EXPECT_EQ(TextOf(Control::编辑框1), L"C:\\Quorvale\\brisel\\brisel.exe")
      << "keeps its design text";
  const auto startPath = RecordValue(L"stratPath");
  ASSERT_TRUE(startPath);
  EXPECT_EQ(startPath->bytes, Bytes(std::string("C:\\Quorvale\\brisel\\startup.exe") + '\0'));
  EXPECT_TRUE(Exists(AppDataPathRecord()));
}

TEST_F(InstallerTest, NonDriveRootWritesNoRecordAndSaysNothing) {
  LayOut(kSetup, Extractor::StandIn);
  Launch();
  // Relative to the installer's current directory: creatable, but not a drive path.
  TypePath(L"relroot\\");
  ClickInstall();
  EXPECT_FALSE(ErrorBox(1000)) << "no message for a path that is not a drive path";
  EXPECT_EQ(Look(), kDoneLook);
  EXPECT_FALSE(RecordValue(L"briselPath"));
  EXPECT_FALSE(RecordValue(L"installer"));
  const auto record = FileBytes(AppDataPathRecord());
  ASSERT_TRUE(record);
  EXPECT_EQ(*record,
            Bytes("relroot\\brisel\\brisel.exe\r\nrelroot\\brisel\\startup.exe\r\nrelroot\\"));
  EXPECT_TRUE(Exists(OwnDirectory() + L"\\relroot"));
}

}  // namespace
}  // namespace e2e
