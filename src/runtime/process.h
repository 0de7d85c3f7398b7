#pragma once
// Starting other programs.

#include <windows.h>

#include <string_view>

#include "runtime/show_mode.h"

namespace runtime {

// Starts the command line as it is (no inherited handles, the caller's environment and directory)
// with the show mode, clamped to 1..6; a hidden console program gets no console window at all.
// With wait, returns once the process has ended and, when exitCode is given, stores its exit code
// there; without wait, gives it at most 1000 ms to become idle. True when the process was started;
// false, with nothing else done, when it could not be.
[[nodiscard]] bool RunProgram(std::string_view commandLine, bool wait, int showMode = kShowNormal,
                              unsigned long* exitCode = nullptr);

}  // namespace runtime
