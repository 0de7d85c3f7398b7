// The click on 按钮_安装: the installation procedure from the directory to the record.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/completion.h"
#include "app/extractor_check.h"
#include "app/handlers.h"
#include "app/install_record.h"
#include "app/install_root.h"
#include "app/install_texts.h"
#include "app/messages.h"
#include "app/owned_files.h"
#include "app/shortcuts.h"
#include "app/uninstaller_place.h"
#include "app/uninstaller_program.h"
#include "app/unpack.h"
#include "fs/files.h"
#include "fs/path_record.h"
#include "runtime/files.h"
#include "runtime/gbk.h"
#include "runtime/log_format.h"
#include "runtime/payload.h"
#include "runtime/run_log.h"
#include "ui/busy.h"
#include "ui/main_window.h"

namespace {

using ui::Control;

// The user cancelled the installation while its archive was written or unpacked: what this run
// wrote is gone again. Windows Installer's code for it, which deployment tools know.
constexpr int kExitCancelled = ERROR_INSTALL_USEREXIT;

// Logs what the clean-up did with one thing this run wrote.
void LogTakenBack(const std::wstring& path, bool gone) {
  runtime::Log((gone ? L"taken back: " : L"could not be taken back: ") + path);
}

// One run of the installation into the root the user chose: what it derives from the root, and
// what it takes back when it stops half-way.
class Installation {
 public:
  Installation()
      : root_(app::InstallRoot()),
        // After a folder pick the root is set and text typed into the box since has no effect.
        typed_(root_.empty()) {
    if (typed_) root_ = ui::GetEditText(Control::编辑框_路径);
    root_ = app::WithTrailingBackslash(root_);
    texts_ = app::DeriveInstallTexts(root_);
  }

  const std::wstring& Root() const { return root_; }
  const app::InstallTexts& Texts() const { return texts_; }

  // Whether GBK, the record's and path.dat's encoding, holds the root as it is; otherwise tells the
  // user, before anything is touched: a recorded "?" would name another folder.
  [[nodiscard]] bool Recordable() {
    if (runtime::ExactGbk(root_)) return true;
    runtime::Log(L"install root " + root_ + L": GBK cannot hold its name");
    ui::ShowLook(ui::Look::Settings);
    Stop(app::kRootNotRecordable);
    return false;
  }

  // Whether the volume has room for the installation at its peak; otherwise tells the user.
  [[nodiscard]] bool HasRoom() {
    std::uint64_t freed = 0;
    const auto measure = [&] { freed = fs::TreeSize(texts_.oldFolder); };
    // A folder that is not there frees nothing; asked on this thread, as the root is below.
    if (fs::DirectoryExists(texts_.oldFolder)) ui::RunWhileLive(ui::MainWindow(), {}, measure);
    // The archive, its unpacked files and the uninstaller lie on the volume together before the
    // archive is deleted, once the old program folder is gone.
    const std::uint64_t all = runtime::PayloadArchive().size() + runtime::PayloadUnpackedSize() +
                              app::UninstallerProgramSize();
    const std::uint64_t need = all > freed ? all - freed : 0;
    const auto space = fs::FreeSpaceFor(root_);
    runtime::Log(L"install root " + root_ +
                 runtime::GbkToWide(", need " + runtime::DecimalText(need) + " bytes, free " +
                                    (space ? runtime::DecimalText(*space) + " bytes" : "unknown")));
    if (!space || *space >= need) return true;
    ui::ShowLook(ui::Look::Settings);
    Stop(app::DiskSpaceShortMessage(need, *space).c_str());
    return false;
  }

  // Makes the levels of the root that do not exist yet, noting them for a failure's clean-up.
  [[nodiscard]] bool MakeRoot() {
    std::wstring level(root_.substr(0, root_.find_last_of(L'\\')));
    while (!level.empty() && !fs::DirectoryExists(level)) {
      made_.push_back(level);
      const std::size_t separator = level.find_last_of(L'\\');
      if (separator == std::wstring::npos) break;
      level.resize(separator);
    }
    if (fs::DirectoryExists(root_)) return true;
    const runtime::LoggedStep making(L"install folder " + root_);
    const bool made = fs::CreateDirectoryPath(root_);
    making.End(made, made ? ERROR_SUCCESS : GetLastError());
    if (made) return true;
    ui::ShowLook(ui::Look::Settings);
    Fail(app::kDirectoryFailed);
    return false;
  }

  // Removes an old program folder as a whole, its bar filled from the step `barFrom` on; false
  // when the user gave up or it failed. Ends the Preparing look.
  [[nodiscard]] bool RemoveOldFolder(int barFrom) {
    const app::RemovalReading removal = app::ReadRemoval(app::RemoveProgramFolder(
        root_, {ui::MainWindow(), ui::ProgressBar(), barFrom}, &app::AskToRetryWhileProgramRuns));
    ui::ShowLook(ui::Look::Settings);
    switch (removal.next) {
      // What stayed aside goes with the next removal; a file of that name is the user's, and
      // 7-Zip, which cannot unpack over it, tells.
      case app::RemovalNext::kGoOn:
      case app::RemovalNext::kGoOnUntouched:
        return true;
      case app::RemovalNext::kLeaveAsChosen:
        Stop(nullptr);  // the user has answered the box
        return false;
      case app::RemovalNext::kStopTelling:
        Stop(removal.message.c_str());
        return false;
    }
    return false;
  }

  // Writes the archive and has `extractor` unpack it; false after a failure's clean-up.
  [[nodiscard]] bool Unpack(const app::CheckedExtractor& extractor) {
    // The uninstaller goes to a folder of its own and needs nothing unpacked: written while 7-Zip
    // runs, it costs the installation no time of its own.
    const auto writeUninstaller = [](void* installation) {
      static_cast<Installation*>(installation)->WriteUninstaller();
    };
    const app::UnpackReport unpacked = app::WriteAndUnpack(
        texts_.archivePath, extractor, app::ExtractorCommandLine(fs::OwnDirectory(), root_), root_,
        {writeUninstaller, this});
    switch (unpacked.result) {
      case app::UnpackResult::ReadFailed:
        Fail(nullptr);
        EndUnreadable(unpacked.readError);
      case app::UnpackResult::WriteFailed:
        Fail(app::kArchiveWriteFailed);
        return false;
      case app::UnpackResult::UnpackFailed:
        Fail(app::kUnpackFailed);
        return false;
      case app::UnpackResult::Cancelled:
        // The record and the Apps entry are as they were at the click: nothing has written them.
        TakeBack();
        EndInstaller(kExitCancelled);
      case app::UnpackResult::Unpacked:
        break;
    }
    return true;
  }

  // Writes the uninstaller into its place, noting whether this run made it there. Without it the
  // product can still be used; Settings then cannot remove it, nothing else fails.
  void WriteUninstaller() {
    const app::UninstallerPlace place = app::InstalledUninstallerPlace();
    const runtime::LoggedStep uninstaller(L"uninstaller write " + place.path);
    madeUninstaller_ = !place.path.empty() && !fs::FileExists(place.path);
    runtime::Bytes program;
    const bool written = !place.path.empty() && app::UnpackUninstallerProgram(program) &&
                         fs::CreateDirectoryPath(place.folder) &&
                         runtime::WriteFile(place.path, {program});
    uninstaller.End(written, written ? ERROR_SUCCESS : GetLastError());
  }

  // Deletes the archive and writes the shortcuts (on the desktop too when `desktopShortcut`) on a
  // worker, then records the installation and shows the Done look. A record or shortcut that could
  // not be written is told after it.
  void Finish(bool desktopShortcut) {
    std::vector<app::ShortcutFailure> shortcuts;
    ui::RunWhileLive(ui::MainWindow(), {}, [&] {
      if (fs::FileExists(texts_.archivePath)) fs::RemoveLargeFile(texts_.archivePath);
      shortcuts = app::CreateShortcuts(root_, desktopShortcut);
    });
    if (runtime::PathExists(texts_.startProgramCheck)) {
      ui::SetEditText(Control::编辑框1, texts_.startProgramCheck);
    }
    app::CompleteInstallation(
        [&] {
          // The program folder holds what 7-Zip has just unpacked into it, emptied before: the
          // archive's listing counts it, with no walk through its files.
          return app::WriteInstallRecord(texts_.mainProgramPath, texts_.startProgramPath, root_,
                                         runtime::PayloadUnpackedSize());
        },
        [&] {
          // Its move into place is written through to the disk, which may still be writing back
          // the gigabyte just unpacked: a step of its own.
          bool written = false;
          const auto write = [&] {
            written = fs::WritePathRecord(texts_.mainProgramPath, texts_.startProgramPath, root_);
          };
          const runtime::LoggedStep pathRecord("path.dat");
          ui::RunWhileLive(ui::MainWindow(), {}, write);
          pathRecord.End(written);
        },
        [] { ui::ShowLook(ui::Look::Done); }, [] { app::ShowError(app::kRegistryFailed); });
    for (const app::ShortcutFailure& failure : shortcuts) {
      app::ShowError(app::ShortcutFailedMessage(failure).c_str(), MB_ICONWARNING);
    }
  }

 private:
  // Ends the run, telling the user why when there is a message. A typed root is read from the box
  // again next time, so that the user can choose another directory.
  void Stop(const char* message) {
    if (typed_) app::InstallRoot().clear();
    if (message != nullptr) app::ShowError(message);
  }

  // Takes back what this run wrote, then stops with the message.
  void Fail(const char* message) {
    TakeBack();
    Stop(message);
  }

  // Takes back what this run wrote: the archive, what was unpacked, an uninstaller written where
  // none was (with its folders, once empty), and the levels of the root it made, once empty again.
  // Logs each that was there. An uninstaller this run wrote over stays: it was not this run's.
  void TakeBack() {
    runtime::Log("clean-up of what this run wrote");
    const auto takeBack = [&] {
      if (fs::FileExists(texts_.archivePath)) {
        fs::RemoveLargeFile(texts_.archivePath);
        LogTakenBack(texts_.archivePath, !fs::FileExists(texts_.archivePath));
      }
      if (fs::DirectoryExists(texts_.oldFolder)) {
        LogTakenBack(texts_.oldFolder, fs::DeleteTree(texts_.oldFolder));
      }
      if (madeUninstaller_) {
        const std::wstring uninstaller = app::InstalledUninstallerPlace().path;
        app::RemoveInstalledUninstaller();
        LogTakenBack(uninstaller, !fs::FileExists(uninstaller));
      }
      for (const std::wstring& level : made_) {
        if (fs::DirectoryExists(level)) LogTakenBack(level, fs::RemoveEmptyDirectory(level));
      }
    };
    ui::RunWhileLive(ui::MainWindow(), {}, takeBack);
  }

  std::wstring root_;
  bool typed_;
  app::InstallTexts texts_;
  std::vector<std::wstring> made_;  // the levels of the root this run created, the deepest first
  bool madeUninstaller_ = false;    // whether this run wrote the uninstaller where none was
};

}  // namespace

void InstallProduct() {
  const bool desktopShortcut = ui::IsChecked(Control::选择框1);
  // One Preparing look from the payload's check to the old folder's removal.
  const int removalFrom = RequireIntactPayload();
  // Held from before anything is written until the extractor has started.
  const app::CheckedExtractor extractor = app::RequireTrustedExtractor();
  // Its thread begins while the root is settled, and takes the place the start-up checks' threads
  // have left: under Wine every thread alive at once holds a megabyte.
  ui::StartStepWorker();
  Installation installation;
  app::InstallRoot() = installation.Root();
  if (installation.Recordable() && installation.HasRoom() && installation.MakeRoot() &&
      installation.RemoveOldFolder(removalFrom) && installation.Unpack(extractor)) {
    installation.Finish(desktopShortcut);
  }
}
