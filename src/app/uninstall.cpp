#include "app/uninstall.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <string_view>

#include "app/install_record.h"
#include "app/install_texts.h"
#include "app/owned_files.h"
#include "app/shortcuts.h"
#include "app/single_instance.h"
#include "app/uninstaller_place.h"
#include "fs/files.h"
#include "fs/path_record.h"
#include "fs/whole_removal.h"
#include "runtime/dialogs.h"
#include "runtime/file_find.h"
#include "runtime/files.h"
#include "runtime/log_format.h"
#include "runtime/protected_copy.h"
#include "runtime/run_log.h"
#include "runtime/scoped_handle.h"
#include "ui/busy.h"
#include "ui/progress_window.h"

namespace app {

namespace {

constexpr char kCaption[] = "卸载";
constexpr char kQuestion[] = "确定要完全卸载 brisel 及其所有组件吗？";
// The record names no root: there is nothing the uninstaller could find to remove.
constexpr char kNoRecordedRoot[] = "卸载失败！未找到 brisel 的安装位置，安装记录保持不变。";
constexpr char kRemoving[] = "正在卸载 brisel……";
constexpr char kUninstalled[] = "brisel 已成功卸载。";
// Followed by what is left and where, in the removal's own words.
constexpr char kUninstalledButLeft[] = "brisel 已卸载。";
constexpr int kQuestionStyle = MB_ICONQUESTION | MB_OKCANCEL;
constexpr int kDoneStyle = MB_ICONINFORMATION;
constexpr int kFailureStyle = MB_ICONERROR;

constexpr int kExitDone = 0;  // removed, or left as it was on Cancel
constexpr int kExitFailed = 1;

// The copy's arguments: the switch, the original's process handle it inherits (in decimal), and
// the root without its backslash.
constexpr wchar_t kFinishSwitch[] = L"/finish";
constexpr std::size_t kFinishArgumentCount = 4;
constexpr int kDecimal = 10;
constexpr std::size_t kDecimalDigits = 16;  // a 32-bit number and its terminator fit

// How long the copy waits for the original to end, and for its exe file to become deletable.
constexpr DWORD kOriginalEndTimeout = 60000;
constexpr int kDeleteAttempts = 50;
constexpr DWORD kDeletePause = 100;

// What the copy may do with the original's process: wait for it, and read its id for the log.
constexpr DWORD kCopysAccess = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;
// The name the copy bears in its folder, and the prefix of the name an uninstaller that cannot go
// at once is moved to before its deletion at restart.
constexpr wchar_t kCopyName[] = L"uninstall.exe";
constexpr wchar_t kLeftoverPrefix[] = L"uninstall-removed-";

// The decimal text of a number. msvcrt's conversion, not std::to_wstring, whose formatted
// printing would add some 20 KB to an exe every installer carries.
std::wstring Decimal(unsigned long number) {
  wchar_t digits[kDecimalDigits] = {};
  return _ultow(number, digits, kDecimal);
}

// Marks this exe and its folder for deletion at the next restart, the one removal left to a
// running exe that no copy can finish; under a name of its own, so that an uninstaller a
// reinstall writes before then stays.
void DeleteSelfAtRestart() {
  const std::wstring own = fs::OwnExecutablePath();
  (void)runtime::DeleteAtRestartUnderNewName(own, own.substr(0, own.find_last_of(L'\\')),
                                             kLeftoverPrefix);
}

// Starts the copy on the rest of the removal: it waits on this process through a handle it
// inherits, which, unlike a process id, no other process can come to bear. Without a copy this exe
// and its folder are at least deleted at the next restart.
void HandOverToCopy(runtime::ProtectedCopy& copy, const std::wstring& root) {
  HANDLE own = nullptr;
  if (copy.Valid() && DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(),
                                      &own, kCopysAccess, TRUE, 0)) {
    const runtime::ScopedHandle inherited(own);
    const std::wstring arguments = std::wstring(kFinishSwitch) + L" " +
                                   Decimal(HandleToULong(own)) + L" \"" +
                                   root.substr(0, root.size() - 1) + L"\"";
    runtime::Log(L"hand-over to " + copy.Path() + L" " + arguments);
    // Its current directory must not hold a folder it removes.
    if (copy.Start(arguments, own, runtime::TemporaryFolder()).Valid()) return;
    runtime::LogFailure("hand-over", GetLastError());
  }
  copy.Discard();
  DeleteSelfAtRestart();
}

// Tells the user that brisel runs: true when they ask to try again.
bool AskToRetryWhileBriselRuns() {
  return runtime::ShowMessageBox(kProgramRunning, kProgramRunningStyle, kCaption) ==
         runtime::kPressedRetry;
}

// The original's run: asks, then removes the installation in `root` (with its backslash).
int Uninstall(const std::wstring& root) {
  if (runtime::ShowMessageBox(kQuestion, kQuestionStyle, kCaption) != runtime::kPressedOk) {
    return kExitDone;
  }
  if (root.empty()) {
    runtime::ShowMessageBox(kNoRecordedRoot, kFailureStyle, kCaption);
    return kExitFailed;
  }
  // Up within a moment of OK, until the last box has been answered; the boxes stand on it. Without
  // it the removal runs all the same, and the boxes still tell how it ended.
  ui::ProgressWindow window;
  ui::SetStepReason(kRemoving);
  if (window.Create(GetModuleHandleW(nullptr), kCaption, kRemoving)) {
    runtime::SetDefaultMessageBoxOwner(window.Window());
  }
  // Made before anything is removed: under a system that lets a running exe be deleted, the
  // removal below takes this exe too.
  runtime::ProtectedCopy copy = runtime::ProtectedCopy::Make(
      fs::OwnExecutablePath(), runtime::SystemTemporaryFolder(), kCopyName);
  // The program folder first, as a whole or not at all: while any of its files stays, so do the
  // record and the entry that lead to it. Cancel while brisel runs leaves everything as it was.
  const RemovalReading removal = ReadRemoval(
      RemoveProgramFolder(root, {window.Window(), window.Bar()}, &AskToRetryWhileBriselRuns));
  switch (removal.next) {
    case RemovalNext::kLeaveAsChosen:
      copy.Discard();
      return kExitDone;
    case RemovalNext::kStopTelling:
      runtime::ShowMessageBox(removal.message, kFailureStyle, kCaption);
      copy.Discard();
      return kExitFailed;
    case RemovalNext::kGoOn:
    case RemovalNext::kGoOnUntouched:
      break;
  }
  // Once its place is free the installation is gone, whatever stays aside. The reset tells the
  // user itself when it fails.
  if (!ResetInstallRecord()) {
    copy.Discard();
    return kExitFailed;
  }
  if (removal.next == RemovalNext::kGoOn) {
    RemoveShortcutsInto(root);
    RemoveUninstallerAndEmptyRoot(root);
  }
  const runtime::LoggedStep pathRecord("path.dat removal");
  pathRecord.End(fs::RemovePathRecordOf(root));
  // Everything the user knows of brisel is gone; the copy only removes this exe, its folder, what
  // stayed aside if it can go by then, and the root when it could not go yet.
  runtime::ShowMessageBox(removal.outcome == RemovalOutcome::kRestLeftAside
                              ? kUninstalledButLeft + removal.message
                              : std::string(kUninstalled),
                          kDoneStyle, kCaption);
  HandOverToCopy(copy, root);
  return kExitDone;
}

// Moves the uninstaller that could not be deleted to a name of its own and marks it and its
// folders for deletion at the next restart: an installation made before then writes a new
// uninstall.exe, which must survive the restart. True when marked.
bool DeleteLeftoverAtRestart(const UninstallerPlace& place) {
  return runtime::DeleteAtRestartUnderNewName(place.path, place.folder, kLeftoverPrefix) &&
         MoveFileExW(place.publisherFolder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// Removes the root when it is empty. One still held stays: a deletion at restart would be carried
// out by path, in a folder a standard user may change.
void RemoveEmptyRoot(const std::wstring& root) {
  runtime::FoundEntry entry;
  if (!fs::DirectoryExists(root) || runtime::FileEnumerator(root + L"*").Next(entry) ||
      fs::RemoveEmptyDirectory(root)) {
    return;
  }
  runtime::Log("root stays");
}

// The copy's run: once the original has ended, removes what its removal left aside, its exe and
// the uninstaller's folders, marking for deletion at the next restart what of those (only
// administrators may change them) cannot go now, and the root it emptied. The program folder is
// the original's to remove: a new installation made meanwhile is never touched.
int FinishUninstall(HANDLE original, const std::wstring& root) {
  runtime::Log("finishing for process " + runtime::DecimalText(GetProcessId(original)));
  WaitForSingleObject(original, kOriginalEndTimeout);
  // An installer started since may be writing its own uninstaller there: it stays.
  const SetupLock lock = TakeSetupLock();
  if (!lock.Valid()) {
    runtime::Log("an installer runs: the uninstaller stays");
    return kExitDone;
  }
  // One more guarded attempt at what was held while the original removed it, now that the
  // original is gone.
  runtime::Log(fs::RemoveLeftAside(DeriveInstallTexts(root).oldFolder) ? "nothing left aside"
                                                                       : "left aside: stays");
  // An ended process's image may stay locked for a moment after its handle is signalled.
  const UninstallerPlace place = InstalledUninstallerPlace();
  for (int attempt = 0; attempt < kDeleteAttempts && runtime::PathExists(place.path); ++attempt) {
    fs::RemoveFile(place.path);
    if (runtime::PathExists(place.path)) Sleep(kDeletePause);
  }
  if (runtime::PathExists(place.path)) {
    runtime::Log(DeleteLeftoverAtRestart(place) ? "uninstaller goes at restart"
                                                : "uninstaller stays");
  } else if (fs::RemoveEmptyDirectory(place.folder)) {
    (void)fs::RemoveEmptyDirectory(place.publisherFolder);
    runtime::Log("uninstaller removed, its folder removed");
  } else {
    const bool marked = runtime::DeleteAtRestart(place.folder, place.publisherFolder);
    runtime::Log(marked ? "uninstaller removed, its folder goes at restart"
                        : "uninstaller removed, its folder stays");
  }
  RemoveEmptyRoot(root);
  return kExitDone;
}

}  // namespace

int RunUninstaller(std::span<wchar_t* const> arguments) {
  if (arguments.size() == kFinishArgumentCount &&
      std::wstring_view(arguments[1]) == kFinishSwitch) {
    const runtime::ScopedHandle original(
        ULongToHandle(std::wcstoul(arguments[2], nullptr, kDecimal)));
    return FinishUninstall(original.Get(), arguments[3] + std::wstring(L"\\"));
  }
  // Held until the copy takes over: never while an installer runs, nor a second uninstaller.
  const SetupLock lock = TakeSetupLock();
  if (!lock.Valid()) {
    runtime::ShowMessageBox(InstallerRuns() ? kInstallerRunning : kUninstallerRunning,
                            kFailureStyle, kCaption);
    return kExitFailed;
  }
  // A current directory in the root or in the uninstaller's folder would keep it.
  SetCurrentDirectoryW(runtime::TemporaryFolder().c_str());
  // Where an administrator recorded it: the uninstaller no longer lies in the root.
  return Uninstall(RecordedRoot());
}

}  // namespace app
