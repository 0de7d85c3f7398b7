// The log each run of the installer leaves for support, in the temporary folder of its user.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "e2e/installer_fixture.h"
#include "runtime/file_find.h"

namespace e2e {
namespace {

constexpr wchar_t kSetup[] = L"C:\\veltrane-e2e";
constexpr wchar_t kTemporary[] = L"C:\\veltrane-e2e-temp";
constexpr wchar_t kLogFolder[] = L"C:\\veltrane-e2e-temp\\Veltrane";

// The installers this test starts take their temporary folder from its environment.
class RunLogTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    RemoveTree(kTemporary);
    ASSERT_TRUE(CreateDirectoryW(kTemporary, nullptr));
    for (const wchar_t* name : {L"TEMP", L"TMP"}) SetEnvironmentVariableW(name, kTemporary);
  }
  void TearDown() override {
    InstallerTest::TearDown();
    for (const wchar_t* name : {L"TEMP", L"TMP"}) SetEnvironmentVariableW(name, nullptr);
    RemoveTree(kTemporary);
  }

  // The names of the logs in the log folder.
  static std::vector<std::wstring> Logs() {
    std::vector<std::wstring> names;
    runtime::FileEnumerator listing(std::wstring(kLogFolder) + L"\\*.log");
    for (runtime::FoundEntry entry; listing.Next(entry);) names.push_back(entry.name);
    return names;
  }

  // The log of the running installer, as far as it is written.
  [[nodiscard]] std::string InstallerLog() const {
    const std::wstring suffix = L"-" + std::to_wstring(installer_.Id()) + L".log";
    for (const std::wstring& name : Logs()) {
      if (name.ends_with(suffix)) {
        const auto bytes = FileBytes(std::wstring(kLogFolder) + L"\\" + name);
        if (bytes) return std::string(bytes->begin(), bytes->end());
      }
    }
    return {};
  }
};

// What tools send (a posted BM_CLICK, as scripted automation does; a press on the link label; a
// posted WM_CLOSE) is dispatched by a handler's modal loop although the window is disabled: each
// command is dropped and logged, and the handler's own flow then goes on as it would have.
TEST_F(RunLogTest, CommandsPostedWhileAHandlerWaitsInAModalLoopAreDroppedAndLogged) {
  using ui::Control;
  const struct {
    const char* running;         // the handler waiting, as the log names it
    std::function<void()> open;  // starts the installer and opens the wait
    std::function<void(const driver::MessageBoxInfo&)> goOn;  // and ends the wait
  } kCases[] = {
      {"the start-up check",
       [this] {
         ASSERT_EQ(SHCreateDirectoryExW(nullptr, L"C:\\Quorvale\\brisel", nullptr), ERROR_SUCCESS);
         WriteRecordValue(L"rootPath", REG_SZ, RegSz("C:\\Quorvale\\"));
         WriteRecordValue(L"installer", REG_DWORD, Dword(1));
         LaunchWithoutSettling();
       },
       [this](const driver::MessageBoxInfo& question) {
         EXPECT_TRUE(Exists(L"C:\\Quorvale\\brisel")) << "removed only after OK";
         Acknowledge(question);
         ASSERT_TRUE(driver::WaitUntil([] { return !Exists(L"C:\\Quorvale"); }, kRemovalTimeout));
         ASSERT_TRUE(driver::WaitUntil([&] { return Look() == kSettingsLook; }));
       }},
      {"the click on 开始安装",
       [this] {
         Launch();
         TypePath(L"Q:\\nowhere\\Quorvale\\");  // no drive Q:
         driver::Click(ControlOf(Control::按钮_安装));
       },
       [this](const driver::MessageBoxInfo& failure) {
         Acknowledge(failure);
         EXPECT_EQ(Look(), kSettingsLook);
       }},
      {"the press on 标签3",
       [this] {
         Launch();
         driver::PressMouse(ControlOf(Control::标签3), 10, 10);
       },
       [this](const driver::MessageBoxInfo& folderDialog) {
         PostMessageW(folderDialog.window, WM_COMMAND, IDCANCEL, 0);
         ASSERT_TRUE(driver::WaitUntil([&] { return !IsWindow(folderDialog.window); }));
         const auto told = ErrorBox();
         ASSERT_TRUE(told);
         EXPECT_EQ(told->text, L"请选择正确的安装路径！");
         Acknowledge(*told);
       }},
  };
  LayOut(kSetup, Extractor::StandIn);
  for (const auto& [running, open, goOn] : kCases) {
    SCOPED_TRACE(running);
    ASSERT_NO_FATAL_FAILURE(open());
    const auto dialog = ErrorBox(10000);
    ASSERT_TRUE(dialog);
    driver::Click(ControlOf(Control::按钮_安装));
    driver::PressMouse(ControlOf(Control::标签3), 10, 10);
    PostMessageW(window_, WM_CLOSE, 0, 0);
    const std::string dropped = std::string("dropped, as ") + running + " runs: ";
    for (const char* command :
         {"the click on 开始安装", "the press on 标签3", "closing the window"}) {
      EXPECT_TRUE(driver::WaitUntil([&] {
        return InstallerLog().find(dropped + command) != std::string::npos;
      })) << command
          << "\n"
          << InstallerLog();
    }
    EXPECT_EQ(FindWindowW(L"#32770", nullptr), dialog->window) << "no dialog opened over it";
    EXPECT_FALSE(Exists(L"C:\\Quorvale\\brisel.7z")) << "nothing installed";
    ASSERT_NO_FATAL_FAILURE(goOn(*dialog));
    EXPECT_FALSE(ErrorBox(500)) << "nothing dropped ran later";
    EXPECT_FALSE(Exists(L"C:\\Quorvale"));
    PostMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_EQ(installer_.WaitForExit(), 0u);
  }
}

TEST_F(RunLogTest, AFailedUnpackingIsLoggedWithItsStepExitCodeAndTheExtractorsErrorLine) {
  LayOut(kSetup, Extractor::StandIn, 2);
  Launch();
  ClickInstall();
  const auto box = ErrorBox();
  ASSERT_TRUE(box);
  Acknowledge(*box);
  PostMessageW(window_, WM_CLOSE, 0, 0);
  ASSERT_EQ(installer_.WaitForExit(), 0u);

  const std::vector<std::wstring> logs = Logs();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].rfind(L"setup-", 0), 0u) << "named after its kind";
  const auto bytes = FileBytes(std::wstring(kLogFolder) + L"\\" + logs[0]);
  ASSERT_TRUE(bytes);
  const std::string log(bytes->begin(), bytes->end());
  for (const char* line :
       {"brisel setup 1.0.0.0", "extractor command line: C:\\veltrane-e2e\\lib\\7z.exe x",
        "extractor start: ok", "unpacking: failed", "extractor exit code 2",
        "7z.exe: ERROR: Data Error : brisel\\partial",
        "\xe6\x96\x87\xe4\xbb\xb6\xe8\xa7\xa3\xe5\x8e\x8b\xe7\xbc\xa9\xe5\xa4\xb1\xe8\xb4\xa5",
        "answered: OK", "exit code 0"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  }
}

// Wine's explorer answers as the desktop's shell; the installer's own start is tested at its seam.
TEST_F(RunLogTest, TheFinishButtonStartsTheProgramAsTheDesktopUser) {
  LayOut(kSetup, Extractor::Real);
  Launch();
  ClickInstall();
  driver::Click(ControlOf(ui::Control::按钮_安装完成));
  ASSERT_EQ(installer_.WaitForExit(15000), 0u);
  const auto log = FileBytes(std::wstring(kLogFolder) + L"\\" + Logs().at(0)).value();
  EXPECT_NE(std::string(log.begin(), log.end()).find("start as the desktop user: ok"),
            std::string::npos);
}

// A file where the log folder would go: the folder cannot be made, and the run goes on unlogged.
TEST_F(RunLogTest, AnUnwritableLogFolderChangesNothing) {
  WriteBytes(kLogFolder, Bytes("not a folder"));
  LayOut(kSetup, Extractor::Real);
  Launch();
  ClickInstall();
  EXPECT_FALSE(ErrorBox(500));
  EXPECT_EQ(Look(), kDoneLook);
  EXPECT_EQ(RecordValue(L"installer").value().bytes, Dword(1));
  EXPECT_EQ(FileBytes(kLogFolder), Bytes("not a folder"));
}

}  // namespace
}  // namespace e2e
