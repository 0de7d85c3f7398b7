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
// use (brisel runs, say) nothing goes, and `retry` asks the user whether to try again; a Retry
// first moves back a folder the attempt before could not. ReadRemoval tells what the report
// means.
[[nodiscard]] fs::RemovalReport RemoveProgramFolder(std::wstring_view root, RemovalView view,
                                                    bool (*retry)());

// What a removal of the program folder came to, for the user.
enum class RemovalOutcome {
  kGone,           // nothing of it is left, or there was none
  kRestLeftAside,  // its place is free; what a program still held stays in the folder named
  kNotOurs,        // the path names no folder the installer may remove: nothing was touched
  kKeptInUse,      // a program holds one of its files and the user gave up: nothing was removed
  kStrandedAside,  // nothing was removed, but it could not be moved back from its aside name
  kFailed,         // something else stood in the way: nothing was removed
};

// What the run does next.
enum class RemovalNext {
  // The folder's place is free: the record and the Apps entry go, with the shortcuts into the
  // folder, the uninstaller and the emptied root, and the run goes on.
  kGoOn,
  // Nothing there was the installation's: the run goes on, touching nothing the path leads to.
  kGoOnUntouched,
  // Everything stays as it was, as the user chose: the run ends (or stays, at 开始安装) silently.
  kLeaveAsChosen,
  // The run ends (or stays, at 开始安装) telling `message`; the record stays.
  kStopTelling,
};

struct RemovalReading {
  RemovalOutcome outcome;
  RemovalNext next;
  // GBK, what the user is told: why it stopped (kStopTelling), or what is left and where
  // (kRestLeftAside, said in the uninstaller's closing word); empty otherwise.
  std::string message;
};

// The one reading of a removal's report, for the reinstall, the installation over an old folder
// and the uninstaller alike.
[[nodiscard]] RemovalReading ReadRemoval(const fs::RemovalReport& report);

// Removes the rest an installation owns in `root`: its uninstaller (in its folder under Program
// Files, or in the root where an installer before that put it), and then the root itself only
// when nothing else is left in it. A user's own files beside them stay, and so does a running
// uninstaller.
void RemoveUninstallerAndEmptyRoot(const std::wstring& root);

}  // namespace app
