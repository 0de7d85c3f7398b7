#pragma once
// Work that takes seconds runs on a worker thread while the thread of the windows handles their
// messages: they repaint, move, minimise and follow a change of DPI, and Windows never ghosts them
// as not responding. Meanwhile nothing may start another step or end the program half-way.

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "runtime/progress.h"

namespace ui {

// The progress bars' range: fine enough for a step every 0.01 %.
inline constexpr int kProgressSteps = 10000;

// Sets a progress bar of kProgressSteps to `done` of `total` (empty for a total of 0).
void SetProgressBar(HWND bar, std::uint64_t done, std::uint64_t total);

// What a step shows of its progress: `progress` in `bar`, filling the bar's steps from `from` to
// `to`. The bar never moves back while a step runs, so stages of one look given ranges that follow
// one another make one measure. Without a bar or a progress nothing is shown.
struct Meter {
  HWND bar = nullptr;
  const runtime::Progress* progress = nullptr;
  int from = 0;
  int to = kProgressSteps;
};

// The reason (GBK) the program gives Windows for holding back a logoff or shutdown while a step
// runs, such as "正在安装 brisel……". Set once, before the first step.
void SetStepReason(std::string_view gbk);

// Starts the steps' worker ahead of a step, which would otherwise wait for its start (a new thread
// takes Wine 2 to 3 ms to begin); kept from then on, it holds about 1 MiB under Wine. Called from
// the thread of the windows.
void StartStepWorker();

// What closing the window (its close button, Alt+F4, WM_CLOSE) does while a step runs: without
// `closed` nothing, the close button greyed; with it, `closed(context)` runs on the window's
// thread, the step going on meanwhile, and a close that comes while it runs is ignored.
struct OnClose {
  void (*closed)(void* context) = nullptr;
  void* context = nullptr;
};

// A step: handles this thread's messages until `awaited` is signalled or `timeout` milliseconds
// have passed (a null handle: only the time; INFINITE: no limit), showing `meter` at least every
// 100 ms. Meanwhile clicks and keys on the controls are dropped, `window`'s edit boxes are
// read-only (restored as they were after), closing `window` does what `onClose` says and it
// answers a logoff or shutdown with FALSE, having given Windows the step's reason. Input still
// queued when the step ends is dropped too, so that nothing lands on the control that has taken a
// clicked one's place. Should the wait itself fail, it waits on without the messages.
void RunWhileLive(HWND window, const Meter& meter, HANDLE awaited, DWORD timeout,
                  const OnClose& onClose = {});

// A step whose work `work(context)` runs on a worker thread, awaited as above; where no thread can
// be had, the work runs on this thread.
void RunWhileLive(HWND window, const Meter& meter, void (*work)(void*), void* context,
                  const OnClose& onClose = {});

// As above, with any callable as the work.
template <typename Work>
void RunWhileLive(HWND window, const Meter& meter, const Work& work, const OnClose& onClose = {}) {
  RunWhileLive(
      window, meter, [](void* context) { (*static_cast<const Work*>(context))(); },
      const_cast<void*>(static_cast<const void*>(&work)), onClose);
}

}  // namespace ui
