// The log each run of the installer leaves for support, in the temporary folder of its user.
#include <gtest/gtest.h>

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
};

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
