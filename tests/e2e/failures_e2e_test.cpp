// What the user is told, and what is left, when a step of the installation fails.
#include <gtest/gtest.h>

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

// Clicks install and expects the unpacking failure: its message, then the Unpacking look with the
// archive left in the install root.
void InstallAndExpectUnpackFailure(InstallerTest& test) {
  test.ClickInstall();
  const auto box = test.ErrorBox();
  ASSERT_TRUE(box);
  ExpectErrorBox(*box, test.Window(),
                 L"文件解压缩失败！请更换换到C盘以外目录或者请使用管理员权限运行！" + kBlanks4);
  test.Acknowledge(*box);
  EXPECT_EQ(test.Look(), kUnpackingLook);
  EXPECT_TRUE(Exists(L"C:\\Quorvale\\brisel.7z")) << "the archive stays in the install root";
}

TEST_F(InstallerTest, MissingExtractorLeavesTheArchiveAndMayBeRetried) {
  LayOut(kSetup, Extractor::Missing);
  Launch();
  for (int attempt = 0; attempt < 2; ++attempt) {
    SCOPED_TRACE(attempt);
    InstallAndExpectUnpackFailure(*this);
  }
  EXPECT_FALSE(RecordKeyExists());
  EXPECT_FALSE(Exists(AppDataPathRecord()));
}

TEST_F(InstallerTest, ExtractorThatFailsIsNotReportedAsAFinishedInstallation) {
  LayOut(kSetup, Extractor::StandIn, 2);
  Launch();
  InstallAndExpectUnpackFailure(*this);
  EXPECT_FALSE(RecordKeyExists()) << "no record for a failed unpack";
  EXPECT_FALSE(Exists(AppDataPathRecord())) << "no path.dat for a failed unpack";
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
