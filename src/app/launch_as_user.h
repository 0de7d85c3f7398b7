#pragma once
// The finish button's start of the installed program, unelevated as the signed-in user.
//
// The installer runs elevated, perhaps as another administrator than the one signed in. A program
// it started itself would inherit that token: the game would run elevated, as that other account,
// from a folder every user may change. Explorer runs as the signed-in user, so the program is
// handed to the desktop's shell, which starts it in its own name (Microsoft documents this way
// through the desktop's folder view).

#include <windows.h>

#include <string>

namespace app {

// How long the desktop's shell may take to answer before the user is asked to start the program.
inline constexpr DWORD kShellAnswerBound = 10000;

// How the program was started, or why it was not.
enum class LaunchWay {
  kAsDesktopUser,  // by the desktop's shell, as the signed-in user
  kByInstaller,    // by the installer itself: no desktop shell answered and it runs unelevated
  kLeftToUser,     // not by the installer: the user is to start it from the desktop or Start
};

// Hands `program` to the desktop's shell to start in its own folder, as a step of the main
// window bounded to kShellAnswerBound; where no shell answers and the installer runs unelevated,
// the installer starts it itself. kLeftToUser when the shell did not answer in time (it may still
// start it, so nothing else does), when none answered while the installer runs elevated, or when
// the installer's own start failed. Logs the way taken and why.
[[nodiscard]] LaunchWay LaunchAsDesktopUser(const std::wstring& program);

}  // namespace app
