#include "app/uninstall.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <string_view>

#include "app/install_record.h"
#include "app/install_texts.h"
#include "app/owned_files.h"
#include "app/single_instance.h"
#include "fs/files.h"
#include "fs/path_record.h"
#include "runtime/dialogs.h"
#include "runtime/files.h"
#include "runtime/gbk.h"
#include "runtime/log_format.h"
#include "runtime/process.h"
#include "runtime/run_log.h"
#include "runtime/scoped_handle.h"
#include "ui/busy.h"
#include "ui/progress_window.h"

namespace app {

namespace {

constexpr char kCaption[] = "卸载";
constexpr char kQuestion[] = "确定要完全卸载 brisel 及其所有组件吗？";
constexpr char kRemovalFailed[] =
    "卸载失败！brisel 的文件未能全部删除，可能正在使用中。请关闭 brisel 后重试。";
constexpr char kRemoving[] = "正在卸载 brisel……";
constexpr char kUninstalled[] = "brisel 已成功卸载。";
constexpr int kQuestionStyle = MB_ICONQUESTION | MB_OKCANCEL;
constexpr int kDoneStyle = MB_ICONINFORMATION;
constexpr int kFailureStyle = MB_ICONERROR;

constexpr int kExitDone = 0;  // removed, or left as it was on Cancel
constexpr int kExitFailed = 1;

// The copy's arguments: the switch, the original's process id, the original's directory.
constexpr wchar_t kFinishSwitch[] = L"/finish";
constexpr std::size_t kFinishArgumentCount = 4;
constexpr int kDecimal = 10;
constexpr std::size_t kDecimalDigits = 16;  // a 32-bit number and its terminator fit

// How long the copy waits for the original to end, and for its exe file to become deletable.
constexpr DWORD kOriginalEndTimeout = 60000;
constexpr int kDeleteAttempts = 50;
constexpr DWORD kDeletePause = 100;

// The decimal text of a process id. msvcrt's conversion, not std::to_wstring, whose formatted
// printing would add some 20 KB to an exe every installer carries.
std::wstring Decimal(DWORD number) {
  wchar_t digits[kDecimalDigits] = {};
  return _ultow(number, digits, kDecimal);
}

// A copy of this exe in the temporary folder, named after this process: its path, or empty when
// it could not be made.
std::wstring CopyIntoTemporaryFolder() {
  const std::wstring folder = runtime::TemporaryFolder();
  if (folder.empty()) return {};
  const std::wstring copy =
      folder + L"veltrane-uninstall-" + Decimal(GetCurrentProcessId()) + L".exe";
  if (!CopyFileW(runtime::GbkToWide(fs::OwnExecutablePath()).c_str(), copy.c_str(), FALSE)) {
    return {};
  }
  return copy;
}

// Marks this exe for deletion at the next restart, the one removal left to a running exe.
void DeleteSelfAtRestart() {
  MoveFileExW(runtime::GbkToWide(fs::OwnExecutablePath()).c_str(), nullptr,
              MOVEFILE_DELAY_UNTIL_REBOOT);
}

// Starts the copy on the rest of the removal in `directory` (the root without its backslash);
// without a copy this exe is at least deleted at the next restart.
void HandOverToCopy(const std::wstring& copy, std::string_view directory) {
  if (!copy.empty()) {
    // The copy inherits the current directory, which must not hold the root it removes.
    SetCurrentDirectoryW(runtime::TemporaryFolder().c_str());
    const std::wstring commandLine = L"\"" + copy + L"\" " + kFinishSwitch + L" " +
                                     Decimal(GetCurrentProcessId()) + L" \"" +
                                     runtime::GbkToWide(directory) + L"\"";
    const std::string started = runtime::WideToGbk(commandLine);
    runtime::Log("hand-over to " + started);
    if (runtime::RunProgram(started, false, runtime::kShowHidden)) return;
    runtime::LogFailure("hand-over", GetLastError());
    DeleteFileW(copy.c_str());
  }
  DeleteSelfAtRestart();
}

// Tells the user that brisel runs: true when they ask to try again.
bool AskToRetryWhileBriselRuns() {
  return runtime::ShowMessageBox(kProgramRunning, kProgramRunningStyle, kCaption) ==
         runtime::kPressedRetry;
}

// The original's run: asks, then removes the installation in `directory`'s root.
int Uninstall(const std::string& directory) {
  if (runtime::ShowMessageBox(kQuestion, kQuestionStyle, kCaption) != runtime::kPressedOk) {
    return kExitDone;
  }
  const std::string root = directory + "\\";
  // Up within a moment of OK, until the last box has been answered; the boxes stand on it. Without
  // it the removal runs all the same, and the boxes still tell how it ended.
  ui::ProgressWindow window;
  ui::SetStepReason(kRemoving);
  if (window.Create(GetModuleHandleW(nullptr), kCaption, kRemoving)) {
    runtime::SetDefaultMessageBoxOwner(window.Window());
  }
  // Made before anything is removed: under a system that lets a running exe be deleted, the
  // removal below takes this exe too.
  const std::wstring copy = CopyIntoTemporaryFolder();
  // The program folder first, as a whole or not at all: while any of its files stays, so do the
  // record and the entry that lead to it. Cancel while brisel runs leaves everything as it was.
  const fs::RemovalReport removal =
      directory.empty()
          ? fs::RemovalReport{fs::WholeRemoval::kRefused, 0, {}}
          : RemoveProgramFolder(root, {window.Window(), window.Bar()}, &AskToRetryWhileBriselRuns);
  if (removal.result == fs::WholeRemoval::kRefused) {
    runtime::ShowMessageBox(kRemovalFailed, kFailureStyle, kCaption);
  } else if (removal.result == fs::WholeRemoval::kFailed) {
    runtime::ShowMessageBox(RemovalFailedMessage(removal), kFailureStyle, kCaption);
  }
  // The reset tells the user itself when it fails.
  if (removal.result != fs::WholeRemoval::kRemoved || !ResetInstallRecord()) {
    DeleteFileW(copy.c_str());  // nothing for an empty path
    return removal.result == fs::WholeRemoval::kInUse ? kExitDone : kExitFailed;
  }
  RemoveUninstallerAndEmptyRoot(root);
  const runtime::LoggedStep pathRecord("path.dat removal");
  pathRecord.End(fs::RemovePathRecordOf(root));
  // Everything the user knows of brisel is gone; the copy only removes this exe and the root.
  runtime::ShowMessageBox(kUninstalled, kDoneStyle, kCaption);
  HandOverToCopy(copy, directory);
  return kExitDone;
}

// The copy's run: once the original has ended, removes its exe and the emptied root, then marks
// itself for deletion at the next restart. The program folder is the original's to remove: a new
// installation made meanwhile is never touched.
int FinishUninstall(DWORD originalId, const std::string& root) {
  runtime::Log("finishing for process " + runtime::DecimalText(originalId) + " in " + root);
  const runtime::ScopedHandle original(OpenProcess(SYNCHRONIZE, FALSE, originalId));
  if (original.Valid()) WaitForSingleObject(original.Get(), kOriginalEndTimeout);
  // An installer started since may be installing into this root: its files stay.
  const SetupLock lock = TakeSetupLock();
  if (!lock.Valid()) {
    runtime::Log("an installer runs: the root stays");
    DeleteSelfAtRestart();
    return kExitDone;
  }
  // An ended process's image may stay locked for a moment after its handle is signalled.
  const std::string uninstaller = DeriveInstallTexts(root).uninstallerPath;
  for (int attempt = 0; attempt < kDeleteAttempts && runtime::PathExists(uninstaller); ++attempt) {
    fs::RemoveFile(uninstaller);
    if (runtime::PathExists(uninstaller)) Sleep(kDeletePause);
  }
  runtime::Log(
      std::string(runtime::PathExists(uninstaller) ? "uninstaller stays" : "uninstaller removed") +
      (fs::RemoveEmptyDirectory(root) ? ", root removed" : ", root stays"));
  DeleteSelfAtRestart();
  return kExitDone;
}

}  // namespace

int RunUninstaller(std::span<wchar_t* const> arguments) {
  if (arguments.size() == kFinishArgumentCount &&
      std::wstring_view(arguments[1]) == kFinishSwitch) {
    const auto originalId = static_cast<DWORD>(std::wcstoul(arguments[2], nullptr, kDecimal));
    return FinishUninstall(originalId, runtime::WideToGbk(arguments[3]) + "\\");
  }
  // Held until the copy takes over: never while an installer runs, nor a second uninstaller.
  const SetupLock lock = TakeSetupLock();
  if (!lock.Valid()) {
    runtime::ShowMessageBox(InstallerRuns() ? kInstallerRunning : kUninstallerRunning,
                            kFailureStyle, kCaption);
    return kExitFailed;
  }
  return Uninstall(fs::OwnDirectory());
}

}  // namespace app
