#pragma once
// Starting other programs.

#include <windows.h>

#include <string_view>

#include "runtime/scoped_handle.h"

namespace runtime {

// Show modes of RunProgram and OpenWithShell: 1 hidden, 2 normal, 3 minimized, 4 maximized,
// 5 shown without activation, 6 minimized (as the window system minimizes).
inline constexpr int kShowHidden = 1, kShowNormal = 2, kShowMinimized = 3, kShowMaximized = 4,
                     kShowNoActivate = 5, kShowMinimize = 6;

// The process call RunProgram makes, the real one by default: Wine hosts consoles differently from
// Windows, so a test sees the flags a start is asked with through its own function.
struct ProcessApi {
  decltype(&::CreateProcessW) createProcess = &::CreateProcessW;
};

// Starts the command line as RunProgram does, without waiting: the process's handle, to wait on
// and read; an invalid one, with nothing else done, when it could not be started.
[[nodiscard]] ScopedHandle StartProgram(std::string_view commandLine, int showMode);

// Starts the command line as it is (no inherited handles, the caller's environment and directory)
// with the show mode, clamped to 1..6; a hidden console program gets no console window at all.
// With wait, returns once the process has ended and, when exitCode is given, stores its exit code
// there; without wait, gives it at most 1000 ms to become idle. True when the process was started;
// false, with nothing else done, when it could not be.
[[nodiscard]] bool RunProgram(std::string_view commandLine, bool wait, int showMode = kShowNormal,
                              unsigned long* exitCode = nullptr, const ProcessApi& api = {});

}  // namespace runtime
