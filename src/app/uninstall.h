#pragma once
// The uninstaller: removes the installation whose root holds it, on the user's word.
//
// A running exe cannot delete itself. So on OK the uninstaller removes everything but its own
// file, then starts a copy of itself from the temporary folder and ends; the copy waits for the
// original process to end, deletes uninstall.exe and the then empty root, and marks itself for
// deletion at the next restart.

#include <span>

namespace app {

// Runs the uninstaller with its command-line arguments (the program name first): the process's
// exit code. Without arguments it asks and removes the installation in its own directory; the
// copy it starts gets the original's process id and that directory.
[[nodiscard]] int RunUninstaller(std::span<wchar_t* const> arguments);

}  // namespace app
