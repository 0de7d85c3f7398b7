// Removing an installation through its entry in Apps & features: the entry as Wine's own
// Add/Remove Programs lists it, the uninstaller its UninstallString starts, and what it leaves.
// windows.h first: commctrl.h builds on its types.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "e2e/installer_fixture.h"
#include "runtime/file_find.h"
#include "runtime/scoped_handle.h"

namespace e2e {
namespace {

constexpr wchar_t kSetup[] = L"C:\\veltrane-e2e";
constexpr wchar_t kRoot[] = L"C:\\Quorvale";
// Where installers before put the uninstaller, and where any signed-in user may replace it.
constexpr wchar_t kRootUninstaller[] = L"C:\\Quorvale\\uninstall.exe";
constexpr wchar_t kProgramFolder[] = L"C:\\Quorvale\\brisel";
constexpr ULONGLONG kBytesPerKiB = 1024;
constexpr wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kDeletionsAtRestart[] = L"PendingFileRenameOperations";
constexpr wchar_t kRunning[] = L"brisel 正在运行，请先关闭 brisel 再点击“重试”。";

// What Wine's Add/Remove Programs lists ("KEY|||DisplayName" lines), from its console program
// run with its output in a file.
std::string AppsListing() {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  const std::wstring listing = std::wstring(folder) + L"veltrane-apps-listing.txt";
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  {
    const runtime::ScopedHandle output(CreateFileW(listing.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                   &inheritable, CREATE_ALWAYS,
                                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output.Valid()) return {};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.Get();
    startup.hStdError = output.Get();
    PROCESS_INFORMATION started{};
    std::wstring commandLine = L"uninstaller.exe --list";
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       nullptr, nullptr, &startup, &started)) {
      const runtime::ScopedHandle process(started.hProcess);
      const runtime::ScopedHandle thread(started.hThread);
      WaitForSingleObject(process.Get(), driver::kDefaultTimeout);
    }
  }
  const auto bytes = FileBytes(listing);
  DeleteFileW(listing.c_str());
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// A string of the installer's version resource, as its first language block holds it.
std::string VersionString(const std::wstring& exe, const wchar_t* name) {
  std::vector<BYTE> block(GetFileVersionInfoSizeW(exe.c_str(), nullptr));
  if (block.empty() ||
      !GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data())) {
    return {};
  }
  struct Translation {
    WORD language;
    WORD codePage;
  }* translation = nullptr;
  UINT size = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translation), &size) ||
      size < sizeof(Translation)) {
    return {};
  }
  wchar_t path[64] = {};
  swprintf(path, 64, L"\\StringFileInfo\\%04x%04x\\%ls", translation->language,
           translation->codePage, name);
  wchar_t* text = nullptr;
  if (!VerQueryValueW(block.data(), path, reinterpret_cast<void**>(&text), &size)) return {};
  return std::string(text, text + wcslen(text));
}

// Bytes of the files below the directory, counted by the test's own walk.
ULONGLONG FolderBytes(const std::wstring& directory) {
  runtime::FileEnumerator entries(directory + L"\\*");
  runtime::FoundEntry entry;
  ULONGLONG total = 0;
  while (entries.Next(entry)) {
    total += (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                 ? FolderBytes(directory + L"\\" + entry.name)
                 : entry.size;
  }
  return total;
}

class UninstallTest : public InstallerTest {
 protected:
  // A real installation into C:\Quorvale\, through the window, which is closed then: an
  // uninstaller does not run beside the installer.
  void Install() {
    LayOut(kSetup, Extractor::Real);
    Launch();
    ClickInstall();
    ASSERT_EQ(Look(), kDoneLook);
    installer_ = driver::Process();
    ASSERT_FALSE(Exists(kRootUninstaller)) << "the root no longer holds it";
  }

  // Starts the entry's UninstallString as Settings does and waits for its question.
  std::optional<driver::MessageBoxInfo> StartUninstaller() {
    auto started = driver::Start(AppsEntryText(L"UninstallString"));
    if (!started) return std::nullopt;
    uninstaller_ = std::move(*started);
    return driver::WaitForMessageBox(uninstaller_.Id());
  }

  // Presses OK on the question, then answers the closing message, which stands on the window that
  // showed the removal, its bar full.
  void ConfirmUninstall(const driver::MessageBoxInfo& question) {
    driver::PressButton(question, IDOK);
    ASSERT_TRUE(driver::WaitUntil([&] { return !IsWindow(question.window); }));
    const auto done = driver::WaitForMessageBox(uninstaller_.Id(), kRemovalTimeout);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->caption + L"|" + done->text, std::wstring(L"卸载|brisel 已成功卸载。"));
    EXPECT_EQ(done->buttonIds, std::vector<int>{IDOK});
    const HWND progress = GetWindow(done->window, GW_OWNER);
    EXPECT_EQ(driver::Text(progress), L"卸载");
    const HWND bar = FindWindowExW(progress, nullptr, PROGRESS_CLASSW, nullptr);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    EXPECT_EQ(driver::Text(FindWindowExW(progress, nullptr, L"Static", nullptr)),
              L"正在卸载 brisel……");
    driver::PressButton(*done, IDOK);
  }

  void TearDown() override {
    uninstaller_ = driver::Process();
    InstallerTest::TearDown();
  }

  driver::Process uninstaller_;
};

TEST_F(UninstallTest, OkFromTheAppsEntryRemovesTheWholeInstallation) {
  Install();
  EXPECT_NE(AppsListing().find("Veltrane|||brisel"), std::string::npos)
      << "Wine's Add/Remove Programs lists the entry";
  const auto question = StartUninstaller();
  ASSERT_TRUE(question);
  EXPECT_EQ(question->caption, L"卸载");
  EXPECT_EQ(question->text, L"确定要完全卸载 brisel 及其所有组件吗？");
  EXPECT_EQ(question->buttonIds, (std::vector<int>{IDOK, IDCANCEL}));

  ASSERT_NO_FATAL_FAILURE(ConfirmUninstall(*question));
  ASSERT_TRUE(driver::WaitUntil([] { return !Exists(PublisherFolder()); }, kRemovalTimeout))
      << "the copy removes the uninstaller with its folders once the original has ended";
  EXPECT_FALSE(Exists(kRoot));
  EXPECT_FALSE(Exists(kProgramFolder));
  EXPECT_FALSE(Exists(AppDataPathRecord()));
  EXPECT_FALSE(AppsEntryExists());
  EXPECT_EQ(AppsListing().find("Veltrane|||"), std::string::npos);
  const auto installed = RecordValue(L"installer");
  ASSERT_TRUE(installed);
  EXPECT_EQ(installed->type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(installed->bytes, Dword(0));
}

TEST_F(UninstallTest, CancelLeavesEverything) {
  Install();
  const auto question = StartUninstaller();
  ASSERT_TRUE(question);
  driver::PressButton(*question, IDCANCEL);
  ASSERT_TRUE(uninstaller_.WaitForExit());
  EXPECT_TRUE(Exists(L"C:\\Quorvale\\brisel\\brisel.exe"));
  EXPECT_TRUE(Exists(InstalledUninstaller()));
  EXPECT_TRUE(Exists(AppDataPathRecord()));
  EXPECT_TRUE(AppsEntryExists());
  const auto installed = RecordValue(L"installer");
  ASSERT_TRUE(installed);
  EXPECT_EQ(installed->bytes, Dword(1));
}

// Our shortcuts go; the user's own brisel.lnk, which leads beside the program folder, stays.
TEST_F(UninstallTest, OkLeavesTheUsersOwnFileItsShortcutAndItsRoot) {
  Install();
  WriteBytes(L"C:\\Quorvale\\brisel.txt", Bytes("the user's own"));
  WriteShortcut(ProgramsShortcut(), L"C:\\Quorvale\\brisel.txt");
  const auto question = StartUninstaller();
  ASSERT_TRUE(question);
  ASSERT_NO_FATAL_FAILURE(ConfirmUninstall(*question));
  ASSERT_TRUE(driver::WaitUntil([] { return !Exists(InstalledUninstaller()); }, kRemovalTimeout));
  EXPECT_FALSE(Exists(kProgramFolder));
  EXPECT_EQ(FileBytes(L"C:\\Quorvale\\brisel.txt"), Bytes("the user's own"));
  EXPECT_FALSE(Exists(DesktopShortcut()));
  EXPECT_EQ(ReadShortcut(ProgramsShortcut()).substr(0, 23), L"C:\\Quorvale\\brisel.txt|");
}

// Every value of the entry, as Settings reads it; a reinstall's reset takes it away again, with
// the old installation's uninstaller.
TEST_F(UninstallTest, EntryHoldsTheInstallationsValuesUntilAReinstallResetsIt) {
  Install();
  const std::wstring setup = std::wstring(kSetup) + L"\\VeltraneSetup.exe";
  const std::string version = VersionString(setup, L"ProductVersion");
  const std::string publisher = VersionString(setup, L"CompanyName");
  ASSERT_FALSE(version.empty() || publisher.empty()) << "the installer's version resource";
  const std::wstring uninstaller = InstalledUninstaller();
  const ULONGLONG programBytes = FolderBytes(kProgramFolder);
  ASSERT_GT(programBytes, 0u);
  const auto kib = static_cast<DWORD>((programBytes + kBytesPerKiB - 1) / kBytesPerKiB);
  const struct {
    const wchar_t* name;
    DWORD type;
    std::vector<BYTE> bytes;
  } expected[] = {
      {L"DisplayName", REG_SZ, RegSz("brisel")},
      {L"DisplayIcon", REG_SZ, RegSz("C:\\Quorvale\\brisel\\brisel.exe")},
      {L"DisplayVersion", REG_SZ, RegSz(version)},
      {L"Publisher", REG_SZ, RegSz(publisher)},
      {L"InstallLocation", REG_SZ, RegSz("C:\\Quorvale\\")},
      {L"UninstallString", REG_SZ,
       RegSz("\"" + std::string(uninstaller.begin(), uninstaller.end()) + "\"")},
      {L"EstimatedSize", REG_DWORD, Dword(kib)},
      {L"NoModify", REG_DWORD, Dword(1)},
      {L"NoRepair", REG_DWORD, Dword(1)},
  };
  for (const auto& value : expected) {
    SCOPED_TRACE(value.name);
    const auto stored = AppsEntryValue(value.name);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, value.type);
    EXPECT_EQ(stored->bytes, value.bytes);
  }

  ASSERT_NO_FATAL_FAILURE(LaunchAndConfirmReinstall());
  EXPECT_FALSE(AppsEntryExists());
  EXPECT_FALSE(Exists(PublisherFolder()));
}

// An installation an installer before this one made, its uninstaller in the root, goes whole on
// a reinstall.
TEST_F(UninstallTest, ReinstallRemovesAnInstallationWithItsUninstallerInTheRoot) {
  Install();
  ASSERT_TRUE(MoveFileW(InstalledUninstaller().c_str(), kRootUninstaller));
  RemoveTree(PublisherFolder());
  ASSERT_NO_FATAL_FAILURE(LaunchAndConfirmReinstall());
  EXPECT_FALSE(Exists(kRoot));
  EXPECT_FALSE(AppsEntryExists());
  EXPECT_EQ(RecordValue(L"installer").value().bytes, Dword(0));
}

// A running brisel.exe keeps every answer from leaving half an installation: it stays whole with
// its record and entry, or goes wholly.
TEST_F(UninstallTest, RunningProgramLeavesTheInstallationWholeOrWhollyGone) {
  Install();
  const ULONGLONG whole = FolderBytes(kProgramFolder);
  auto brisel = driver::Start(L"C:\\Quorvale\\brisel\\brisel.exe", kProgramFolder);
  ASSERT_TRUE(brisel && driver::WaitForWindow(brisel->Id(), L"brisel"));
  const auto inUse = [&](const driver::Process& asker, const std::wstring& caption) {
    auto box = driver::WaitForMessageBox(asker.Id()).value_or(driver::MessageBoxInfo{});
    EXPECT_EQ(box.caption + L"|" + box.text, caption + L"|" + kRunning);
    EXPECT_EQ(box.buttonIds, (std::vector<int>{IDRETRY, IDCANCEL}));
    EXPECT_EQ(FolderBytes(kProgramFolder), whole);
    EXPECT_TRUE(AppsEntryExists() && RecordValue(L"installer").value().bytes == Dword(1));
    return box;
  };
  const auto press = [](const driver::MessageBoxInfo& box, int button) {
    driver::PressButton(box, button);
    EXPECT_TRUE(driver::WaitUntil([&] { return !IsWindow(box.window); }));
  };
  ASSERT_NO_FATAL_FAILURE(LaunchAndConfirmReinstall());
  press(inUse(installer_, L"Error"), IDRETRY);
  press(inUse(installer_, L"Error"), IDCANCEL);
  EXPECT_EQ(installer_.WaitForExit(), 0u) << "Cancel ends the installer";
  // Cancel ends the uninstaller without another box: it never says brisel was uninstalled.
  auto question = StartUninstaller();
  ASSERT_TRUE(question);
  press(*question, IDOK);
  press(inUse(uninstaller_, L"卸载"), IDCANCEL);
  EXPECT_EQ(uninstaller_.WaitForExit(), 0u);
  question = StartUninstaller();
  ASSERT_TRUE(question);
  press(*question, IDOK);
  const auto box = inUse(uninstaller_, L"卸载");
  *brisel = driver::Process();
  press(box, IDRETRY);
  const auto done = driver::WaitForMessageBox(uninstaller_.Id(), kRemovalTimeout);
  ASSERT_TRUE(done);
  EXPECT_EQ(done->text, L"brisel 已成功卸载。");
  driver::PressButton(*done, IDOK);
  EXPECT_TRUE(driver::WaitUntil([] { return !Exists(kRoot); }, kRemovalTimeout));
  EXPECT_FALSE(AppsEntryExists());
  EXPECT_EQ(RecordValue(L"installer").value().bytes, Dword(0));
}

// The deletions the system carries out at the next restart, as one text.
std::wstring DeletionsAtRestart() {
  std::wstring all(4096, L'\0');
  DWORD bytes = static_cast<DWORD>(all.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kDeletionsAtRestart, RRF_RT_REG_MULTI_SZ,
                   nullptr, all.data(), &bytes) != ERROR_SUCCESS) {
    return {};
  }
  all.resize(bytes / sizeof(wchar_t));
  return all;
}

// A folder opened sharing deletion after the checks (an Explorer window) stays pending without
// POSIX deletion, as under Wine: the removal goes forward and the closing word names the folder it
// stays in. Nothing below the root is left to the restart (only the finishing copy's own folder
// is); the finishing copy finds it held still, and the next installation into the root removes it.
TEST_F(UninstallTest, WhatIsHeldWhileItGoesIsNamedAndTheNextInstallationRemovesIt) {
  Install();
  const auto question = StartUninstaller();
  ASSERT_TRUE(question);
  runtime::ScopedHandle explorer(CreateFileW(L"C:\\Quorvale\\brisel\\data\\maps", GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                             nullptr));
  ASSERT_TRUE(explorer.Valid());
  driver::PressButton(*question, IDOK);
  ASSERT_TRUE(driver::WaitUntil([&] { return !IsWindow(question->window); }));
  const auto done = driver::WaitForMessageBox(uninstaller_.Id(), kRemovalTimeout);
  ASSERT_TRUE(done);
  runtime::FileEnumerator asides(std::wstring(kProgramFolder) + L".veltrane-removal-*");
  runtime::FoundEntry entry;
  ASSERT_TRUE(asides.Next(entry));
  const std::wstring aside = std::wstring(kRoot) + L"\\" + entry.name;
  EXPECT_EQ(done->caption + L"|" + done->text,
            L"卸载|brisel 已卸载。以下文件夹中仍有文件被其他程序占用，未能删除：\n" + aside +
                L"\n它将在下次安装或卸载 brisel 时删除，您也可以手动删除它。");
  EXPECT_FALSE(Exists(kProgramFolder));
  EXPECT_FALSE(AppsEntryExists());
  EXPECT_EQ(RecordValue(L"installer").value().bytes, Dword(0));
  driver::PressButton(*done, IDOK);
  EXPECT_EQ(uninstaller_.WaitForExit(), 0u);
  // The copy tries once more before it removes the uninstaller's folder.
  ASSERT_TRUE(driver::WaitUntil([] { return !Exists(PublisherFolder()); }, kRemovalTimeout));
  EXPECT_TRUE(Exists(aside + L"\\data"));
  const std::wstring restart = DeletionsAtRestart();
  EXPECT_EQ(restart.find(L"Quorvale"), std::wstring::npos);
  EXPECT_NE(restart.find(L"veltrane-"), std::wstring::npos) << "the copy's own folder";
  // Taken back, so that no restart of the test prefix acts on them.
  EXPECT_EQ(RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, kDeletionsAtRestart), 0);

  explorer.Reset();
  Launch();
  ClickInstall();
  ASSERT_EQ(Look(), kDoneLook);
  EXPECT_FALSE(Exists(aside));
  EXPECT_TRUE(Exists(L"C:\\Quorvale\\brisel\\data\\maps"));
}

TEST_F(UninstallTest, UninstallerStartedWhileTheInstallerRunsSaysSoAndEnds) {
  Install();
  LaunchWithoutSettling();  // asks its reinstall question
  const auto refused = StartUninstaller();
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->text, L"安装程序正在运行，请稍后再试。") << "nor shows its question";
  driver::PressButton(*refused, IDOK);
  EXPECT_TRUE(uninstaller_.WaitForExit());
  EXPECT_TRUE(Exists(InstalledUninstaller()) && AppsEntryExists());
}

// A Chinese root on a Western Windows: Settings shows the entry's texts as they are, and its
// command removes the installation. Registered to run under Wine's code page 1252 only.
TEST_F(UninstallTest, ChineseRootUnderAWesternCodePageIsRemovedThroughItsEntry) {
  if (std::getenv("VELTRANE_EXPECT_ACP") == nullptr) GTEST_SKIP() << "runs under code page 1252";
  LayOut(kSetup, Extractor::Real);
  Launch();
  TypePath(L"C:\\安装目录\\");
  ClickInstall();
  installer_ = driver::Process();
  EXPECT_EQ(AppsEntryText(L"InstallLocation"), L"C:\\安装目录\\");
  const auto question = StartUninstaller();
  ASSERT_TRUE(question);
  ASSERT_NO_FATAL_FAILURE(ConfirmUninstall(*question));
  EXPECT_TRUE(driver::WaitUntil([] { return !Exists(L"C:\\安装目录"); }, kRemovalTimeout));
  EXPECT_FALSE(AppsEntryExists());
  RemoveTree(L"C:\\安装目录");
}

// An installer downloaded into a folder whose name GBK cannot hold (a user named Zoë, a Korean
// user name) unpacks from there, and its entry removes the installation again. Run under the
// Chinese code page 936 and, registered apart, under the Western 1252.
TEST_F(UninstallTest, InstallsFromAFolderNamedOutsideGbkAndIsRemovedThroughItsEntry) {
  LayOut(L"C:\\users\\Zo\u00eb\\\uc0ac\uc6a9\uc790 Downloads", Extractor::Real);
  Launch();
  ClickInstall();
  EXPECT_FALSE(ErrorBox(500));
  ASSERT_EQ(Look(), kDoneLook);
  installer_ = driver::Process();
  EXPECT_TRUE(Exists(L"C:\\Quorvale\\brisel\\startup.exe"));
  const auto rootPath = RecordValue(L"rootPath");
  ASSERT_TRUE(rootPath);
  EXPECT_EQ(rootPath->bytes, RegSz("C:\\Quorvale\\"));
  const auto question = StartUninstaller();
  ASSERT_TRUE(question);
  ASSERT_NO_FATAL_FAILURE(ConfirmUninstall(*question));
  EXPECT_TRUE(driver::WaitUntil([] { return !Exists(kRoot); }, kRemovalTimeout));
  EXPECT_FALSE(AppsEntryExists());
  RemoveTree(L"C:\\users\\Zo\u00eb");
}

}  // namespace
}  // namespace e2e
