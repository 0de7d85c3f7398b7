#pragma once
// The uninstaller: removes the installation the record names, on the user's word.
//
// A running exe cannot delete itself. So on OK the uninstaller removes everything but its own
// file, then starts a copy of itself from a folder only administrators can change and ends; the
// copy waits for the original process to end and deletes uninstall.exe and its folder. The copy
// and its folder are deleted at the next restart.

#include <span>

namespace app {

// Runs the uninstaller with its command-line arguments (the program name first): the process's
// exit code. Without arguments it asks and removes the recorded installation; the copy it starts
// gets a handle of the original's process.
[[nodiscard]] int RunUninstaller(std::span<wchar_t* const> arguments);

}  // namespace app
