#pragma once
// What an installation owns below its root, and its removal.

#include <windows.h>

#include <string>
#include <string_view>

#include "fs/whole_removal.h"

namespace app {

// What the installer and the uninstaller say, each in a box of its own kind, while a file of the
// installation is in use.
inline constexpr char kProgramRunning[] = "brisel 正在运行，请先关闭 brisel 再点击“重试”。";
inline constexpr int kProgramRunningStyle = MB_ICONERROR | MB_RETRYCANCEL;

// Where a removal is watched: a window that stays live meanwhile, and the bar in it that shows
// the files removed of those found, filling it from the step `barFrom` on.
struct RemovalView {
  HWND window;
  HWND bar;
  int barFrom = 0;
};

// Removes the program folder of the installation in `root` (ending in a backslash) as a whole,
// never a part of it, on a worker thread while `view` stays live: while any of its files is in
// use (brisel runs, say) nothing goes, and `retry` asks the user whether to try again. kRemoved
// also when there was no folder; kRemovedAtRestart when the folder's place is free and what could
// not go yet is scheduled for deletion at restart; kInUse once the user has given up; kFailed with
// the entry and the system's error when something else stood in the way; kRefused for a path the
// guarded tree removal does not touch.
[[nodiscard]] fs::RemovalReport RemoveProgramFolder(std::wstring_view root, RemovalView view,
                                                    bool (*retry)());

// True when the program folder's place is free: removed, or left to the restart for what a scanner
// or an indexer still held. The record, the entry and the shortcuts then go too.
[[nodiscard]] inline bool ProgramFolderGone(fs::WholeRemoval result) {
  return result == fs::WholeRemoval::kRemoved || result == fs::WholeRemoval::kRemovedAtRestart;
}

// What the user reads when the removal failed for another reason than a running brisel: the entry
// that stayed, the system's error code and its text (GBK).
[[nodiscard]] std::string RemovalFailedMessage(const fs::RemovalReport& report);

// Removes the rest an installation owns in `root`: its uninstaller (in its folder under Program
// Files, or in the root where an installer before that put it), and then the root itself only
// when nothing else is left in it. A user's own files beside them stay, and so does a running
// uninstaller.
void RemoveUninstallerAndEmptyRoot(const std::wstring& root);

}  // namespace app
