#pragma once
// The finish button's start of the installed program, unelevated as the signed-in user.
//
// The installer runs elevated, perhaps as another administrator than the one signed in. A program
// it started itself would inherit that token: the game would run elevated, as that other account.
// Explorer runs as the signed-in user, so the program is handed to the desktop's shell, which
// starts it in its own name (Microsoft documents this way through the desktop's folder view).

#include <string>

namespace app {

// How the program was started.
enum class LaunchWay {
  kAsDesktopUser,  // by the desktop's shell, as the signed-in user
  kByInstaller,    // by the installer itself, with its own rights: no desktop shell answered
};

// Starts `program` with its own folder as working folder through the desktop's shell;
// where that fails (no shell runs), the installer starts it itself. Logs the way taken.
LaunchWay LaunchAsDesktopUser(const std::wstring& program);

}  // namespace app
