#pragma once
// Show modes: how RunProgram and OpenWithShell are asked to show what they start.

#include <windows.h>

#include <array>

namespace runtime {

// 1 hidden, 2 normal, 3 minimized, 4 maximized, 5 shown without activation, 6 minimized (as the
// window system minimizes).
inline constexpr int kShowHidden = 1, kShowNormal = 2, kShowMinimized = 3, kShowMaximized = 4,
                     kShowNoActivate = 5, kShowMinimize = 6;

// The window system's show commands for one mode: a started program's, and the one the shell is
// asked for.
struct ShowCommands {
  WORD program;
  int shell;
};

// The show commands of a mode in 1..6. The modes agree but for 5, where the shell is asked for
// SW_SHOWNA.
[[nodiscard]] constexpr ShowCommands ShowCommandsOf(int mode) {
  constexpr std::array<ShowCommands, kShowMinimize> kByMode{{
      {SW_HIDE, SW_HIDE},
      {SW_SHOWNORMAL, SW_SHOWNORMAL},
      {SW_SHOWMINIMIZED, SW_SHOWMINIMIZED},
      {SW_SHOWMAXIMIZED, SW_SHOWMAXIMIZED},
      {SW_SHOWNOACTIVATE, SW_SHOWNA},
      {SW_MINIMIZE, SW_MINIMIZE},
  }};
  return kByMode[static_cast<std::size_t>(mode - kShowHidden)];
}

}  // namespace runtime
