#pragma once
// Work that takes seconds runs on a worker thread while the thread of the windows handles their
// messages: they repaint, move, minimise and follow a change of DPI, and Windows never ghosts them
// as not responding. Meanwhile nothing may start another step or end the program half-way.

#include <windows.h>

#include <cstdint>

#include "runtime/progress.h"

namespace ui {

// The progress bars' range: fine enough for a step every 0.01 %.
inline constexpr int kProgressSteps = 10000;

// Sets a progress bar of kProgressSteps to `done` of `total` (empty for a total of 0).
void SetProgressBar(HWND bar, std::uint64_t done, std::uint64_t total);

// Runs `work(context)` on a worker thread and handles this thread's messages until it has ended,
// showing `shown` in `bar` at least every 100 ms when both are given. Meanwhile clicks and keys on
// the controls are dropped, and closing `window` is ignored (its close button greyed); input still
// queued when the work ends is dropped too, so that nothing lands on the control that has taken
// a clicked one's place. Where no thread can be had, the work runs on this thread.
void RunWhileLive(HWND window, HWND bar, const runtime::Progress* shown, void (*work)(void*),
                  void* context);

// As above, with any callable as the work.
template <typename Work>
void RunWhileLive(HWND window, HWND bar, const runtime::Progress* shown, const Work& work) {
  RunWhileLive(
      window, bar, shown, [](void* context) { (*static_cast<const Work*>(context))(); },
      const_cast<void*>(static_cast<const void*>(&work)));
}

// True while RunWhileLive runs: window procedures then ignore what would start a step or close.
[[nodiscard]] bool Busy();

// True for a message a window procedure must swallow while RunWhileLive runs: WM_CLOSE, and the
// close command of the window menu, the close button and Alt+F4.
[[nodiscard]] bool IgnoresWhileBusy(UINT message, WPARAM wParam);

}  // namespace ui
