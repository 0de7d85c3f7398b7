// A whole installation through the window, with the real extractor, and the exact command line
// the extractor is started with.
#include <gtest/gtest.h>

#include <cstdlib>

#include "e2e/installer_fixture.h"
#include "runtime/scoped_handle.h"

namespace e2e {
namespace {

using ui::Control;

constexpr wchar_t kSetup[] = L"C:\\veltrane-e2e";

// The uninstaller that the build of the installer under test signed: this build's, unless the
// environment names another build's.
std::wstring SignedUninstaller() {
  const wchar_t* other = _wgetenv(L"VELTRANE_SIGNED_UNINSTALLER");
  return other != nullptr ? other : VELTRANE_SIGNED_UNINSTALLER;
}

TEST_F(InstallerTest, HappyPathInstallsRecordsAndOpensTheStartProgram) {
  LayOut(kSetup, Extractor::Real);
  Launch();
  EXPECT_EQ(Look(), kSettingsLook);
  const RECT installButton = driver::RectInParent(ControlOf(Control::按钮_安装));

  ClickInstall();
  EXPECT_FALSE(ErrorBox(500)) << "no message on success";
  EXPECT_EQ(Look(), kDoneLook);
  const RECT finishButton = driver::RectInParent(ControlOf(Control::按钮_安装完成));
  EXPECT_TRUE(EqualRect(&installButton, &finishButton)) << "finish button where install was";

  EXPECT_TRUE(Exists(L"C:\\Quorvale\\brisel\\brisel.exe"));
  EXPECT_TRUE(Exists(L"C:\\Quorvale\\brisel\\startup.exe"));
  EXPECT_FALSE(Exists(L"C:\\Quorvale\\brisel.7z")) << "the archive is deleted after unpacking";
  EXPECT_EQ(TextOf(Control::编辑框1), L"C:\\Quorvale\\\\brisel\\startup.exe");
  const auto uninstaller = FileBytes(InstalledUninstaller());
  ASSERT_TRUE(uninstaller);
  EXPECT_TRUE(uninstaller == FileBytes(SignedUninstaller()))
      << "unpacked, the uninstaller is the signed one, byte for byte";

  const auto mainPath = RecordValue(L"briselPath");
  const auto startPath = RecordValue(L"stratPath");
  const auto rootPath = RecordValue(L"rootPath");
  const auto installed = RecordValue(L"installer");
  ASSERT_TRUE(mainPath && startPath && rootPath && installed);
  EXPECT_EQ(mainPath->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(mainPath->bytes, RegSz("C:\\Quorvale\\brisel\\brisel.exe"));
  EXPECT_EQ(startPath->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(startPath->bytes, RegSz("C:\\Quorvale\\brisel\\startup.exe"));
  EXPECT_EQ(rootPath->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(rootPath->bytes, RegSz("C:\\Quorvale\\"));
  EXPECT_EQ(installed->type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(installed->bytes, (std::vector<BYTE>{1, 0, 0, 0}));

  const auto record = FileBytes(AppDataPathRecord());
  ASSERT_TRUE(record);
  EXPECT_EQ(*record,
            Bytes("C:\\Quorvale\\brisel\\brisel.exe\r\nC:\\Quorvale\\brisel\\startup.exe\r\n"
                  "C:\\Quorvale\\"));
  EXPECT_EQ(record->size(), 75u);

  const DWORD clicked = GetTickCount();
  driver::Click(ControlOf(Control::按钮_安装完成));
  EXPECT_TRUE(driver::WaitUntil([] { return Exists(L"C:\\Quorvale\\brisel\\startup.ran"); }, 10000))
      << "the finish button opens startup.exe";
  EXPECT_TRUE(driver::Settle(window_, 1000)) << "the window answers during the 2500 ms wait";
  const auto code = installer_.WaitForExit(15000);
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0u);
  EXPECT_GE(GetTickCount() - clicked, 2400u) << "the installer waits before it ends";
}

TEST_F(InstallerTest, LooksPassFromSettingsThroughUnpackingToDone) {
  LayOut(kSetup, Extractor::StandIn);
  WriteBytes(std::wstring(kSetup) + L"\\lib\\sleep.txt", Bytes("1500"));
  Launch();
  EXPECT_EQ(Look(), kSettingsLook);
  driver::Click(ControlOf(Control::按钮_安装));
  ASSERT_TRUE(driver::WaitUntil([&] { return Look() == kUnpackingLook; }, 10000))
      << "while the extractor runs the window shows its Unpacking look";
  EXPECT_TRUE(Exists(L"C:\\Quorvale\\brisel.7z")) << "the archive is written before unpacking";
  // The window stays live while the extractor runs: the look tells when it has ended.
  ASSERT_TRUE(driver::WaitUntil([&] { return Look() == kDoneLook; }, 30000));
  EXPECT_EQ(Look(), kDoneLook);
}

// Windows hands input queued on a frozen window to a control only when it is read, and by then
// the finish button stands where the install button was. A press posted to the finish button
// while the extractor runs plays exactly that late assignment.
TEST_F(InstallerTest, ClicksMadeWhileUnpackingDoNotPressTheFinishButton) {
  LayOut(kSetup, Extractor::StandIn);
  WriteBytes(std::wstring(kSetup) + L"\\lib\\sleep.txt", Bytes("1500"));
  Launch();
  driver::Click(ControlOf(Control::按钮_安装));
  ASSERT_TRUE(driver::WaitUntil([&] { return Look() == kUnpackingLook; }, 10000));
  driver::PressMouse(ControlOf(Control::按钮_安装完成), 10, 10);
  ASSERT_TRUE(driver::WaitUntil([&] { return Look() == kDoneLook; }, 30000));
  EXPECT_FALSE(installer_.WaitForExit(4000)) << "the installer waits for a fresh press";
}

TEST_F(InstallerTest, PressesDuringTheFinishWaitNeitherLaunchAgainNorOpenTheFolderDialog) {
  LayOut(kSetup, Extractor::Real);
  Launch();
  ClickInstall();
  ASSERT_EQ(Look(), kDoneLook);
  driver::Click(ControlOf(Control::按钮_安装完成));
  driver::PressMouse(ControlOf(Control::标签3), 5, 5);
  driver::Click(ControlOf(Control::按钮_安装完成));
  EXPECT_FALSE(ErrorBox(2000)) << "no folder dialog";
  const auto code = installer_.WaitForExit(15000);
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0u);
  EXPECT_EQ(ProcessCount(L"startup.exe"), 1);
}

// A Chinese user on an English Windows: the ANSI code page is 1252, and the installer is started
// from a folder with Chinese letters. Registered to run under Wine's code page 1252 only.
TEST_F(InstallerTest, InstallsFromAChineseNamedFolderUnderAWesternCodePage) {
  if (std::getenv("VELTRANE_EXPECT_ACP") == nullptr) GTEST_SKIP() << "runs under code page 1252";
  ASSERT_EQ(GetACP(), 1252u);
  LayOut(L"C:\\安装程序", Extractor::Real);
  Launch();
  ClickInstall();
  EXPECT_FALSE(ErrorBox(500));
  EXPECT_EQ(Look(), kDoneLook);
  EXPECT_TRUE(Exists(L"C:\\Quorvale\\brisel\\startup.exe"));
  const auto installed = RecordValue(L"installer");
  ASSERT_TRUE(installed);
  EXPECT_EQ(installed->bytes, (std::vector<BYTE>{1, 0, 0, 0}));
  EXPECT_TRUE(Exists(AppDataPathRecord()));
}

// An impatient second double-click: the copy that comes second shows nothing, brings the other
// to the front and ends with exit code 0, as does any copy started later.
TEST_F(InstallerTest, TwoCopiesStartedTogetherOpenOneWindow) {
  LayOut(kSetup, Extractor::Real);
  const std::wstring command = L"\"" + directory_ + L"\\VeltraneSetup.exe\"";
  auto first = driver::Start(command, directory_), second = driver::Start(command, directory_);
  ASSERT_TRUE(first && second);
  ASSERT_TRUE(driver::WaitUntil([&] { return !first->Running() || !second->Running(); }));
  const bool firstOpen = first->Running();
  EXPECT_EQ((firstOpen ? *second : *first).WaitForExit(), 0u);
  const HWND window =
      driver::WaitForWindow((firstOpen ? first : second)->Id(), L"Veltrane installer");
  ASSERT_NE(window, nullptr);
  ShowWindow(window, SW_MINIMIZE);
  EXPECT_EQ(driver::Start(command, directory_).value().WaitForExit(), 0u);
  EXPECT_TRUE(!IsIconic(window) && GetForegroundWindow() == window) << "brought to the front";
}

// An installer in another user's session holds the name, but its window is out of this session's
// reach: a holder of the name without a window stands in for it.
TEST_F(InstallerTest, ASecondInstallerThatFindsNoWindowSaysOneRunsAndEndsWithOne) {
  LayOut(kSetup, Extractor::Real);
  const runtime::ScopedHandle name(
      CreateMutexW(nullptr, FALSE, L"Global\\Veltrane.Setup.Installer"));
  ASSERT_TRUE(name.Valid());
  auto started = driver::Start(L"\"" + directory_ + L"\\VeltraneSetup.exe\"", directory_);
  ASSERT_TRUE(started);
  installer_ = std::move(*started);
  const auto box = ErrorBox(15000);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption + L"|" + box->text, std::wstring(L"Error|安装程序正在运行，请稍后再试。"));
  driver::PressButton(*box, IDOK);
  EXPECT_EQ(installer_.WaitForExit(), 1u);
}

TEST_F(InstallerTest, CommandLineForTheDefaultRoot) {
  LayOut(kSetup, Extractor::StandIn);
  Launch();
  ClickInstall();
  EXPECT_EQ(StandInCommandLine(),
            L"C:\\veltrane-e2e\\lib\\7z.exe x C:\\Quorvale\\\\brisel.7z -oC:\\Quorvale\\ -aoa");
}

TEST_F(InstallerTest, CommandLineQuotesPartsWithBlanks) {
  LayOut(L"C:\\veltrane e2e", Extractor::StandIn);
  Launch();
  TypePath(L"C:\\Quor vale\\");
  ClickInstall();
  EXPECT_EQ(StandInCommandLine(),
            L"\"C:\\veltrane e2e\\lib\\7z.exe\" x \"C:\\Quor vale\\\\brisel.7z\" "
            L"\"-oC:\\Quor vale\\\" -aoa");
  RemoveTree(L"C:\\Quor vale");
}

TEST_F(InstallerTest, TypedRootWithoutTrailingBackslashIsCompleted) {
  LayOut(kSetup, Extractor::StandIn);
  Launch();
  TypePath(L"C:\\Quorvale");
  ClickInstall();
  EXPECT_EQ(StandInCommandLine(),
            L"C:\\veltrane-e2e\\lib\\7z.exe x C:\\Quorvale\\\\brisel.7z -oC:\\Quorvale\\ -aoa");
  const auto mainPath = RecordValue(L"briselPath");
  const auto rootPath = RecordValue(L"rootPath");
  ASSERT_TRUE(mainPath && rootPath);
  EXPECT_EQ(mainPath->bytes, RegSz("C:\\Quorvale\\brisel\\brisel.exe"));
  EXPECT_EQ(rootPath->bytes, RegSz("C:\\Quorvale\\"));
}

}  // namespace
}  // namespace e2e
