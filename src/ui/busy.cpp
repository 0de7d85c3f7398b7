#include "ui/busy.h"

#include <commctrl.h>

#include <algorithm>

#include "runtime/scoped_handle.h"

namespace ui {

namespace {

// How long the window may go at most without its bar being brought up to date.
constexpr DWORD kTickMilliseconds = 100;
// A system command's own bits; the system uses the low four.
constexpr WPARAM kSystemCommandMask = 0xFFF0;

bool g_busy = false;

// Mouse input in a client area and keys other than the system's (Alt+F4, the window menu): what
// reaches the controls. Moving, minimising and the window menu stay.
bool IsControlInput(UINT message) {
  return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_KEYDOWN ||
         message == WM_KEYUP || message == WM_CHAR || message == WM_DEADCHAR;
}

struct Work {
  void (*run)(void*);
  void* context;
};

DWORD WINAPI RunWork(void* work) {
  const auto& [run, context] = *static_cast<const Work*>(work);
  run(context);
  return 0;
}

void ShowShown(HWND bar, const runtime::Progress* shown) {
  if (bar == nullptr || shown == nullptr) return;
  SetProgressBar(bar, shown->done.load(std::memory_order_relaxed),
                 shown->total.load(std::memory_order_relaxed));
}

// Handles messages until `worker` ends; a quit message is kept and given back.
bool PumpUntilEnded(HANDLE worker, HWND bar, const runtime::Progress* shown, WPARAM& quitCode) {
  bool quit = false;
  for (;;) {
    ShowShown(bar, shown);
    const DWORD woken = MsgWaitForMultipleObjectsEx(1, &worker, kTickMilliseconds, QS_ALLINPUT,
                                                    MWMO_INPUTAVAILABLE);
    if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) break;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quit = true;
        quitCode = message.wParam;
      } else if (!IsControlInput(message.message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
  }
  ShowShown(bar, shown);
  return quit;
}

// Drops the mouse and keyboard input queued for this thread's windows.
void DropQueuedInput() {
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
  while (PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
}

}  // namespace

void SetProgressBar(HWND bar, std::uint64_t done, std::uint64_t total) {
  // Nothing counted yet is nothing done: a step that is still counting its work shows empty.
  const std::uint64_t steps = total == 0 ? 0 : std::min(done, total) * kProgressSteps / total;
  SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(steps), 0);
}

void RunWhileLive(HWND window, HWND bar, const runtime::Progress* shown, void (*work)(void*),
                  void* context) {
  Work task{work, context};
  // The work makes no window calls; where no thread can be had, it blocks the window instead.
  const runtime::ScopedHandle worker(CreateThread(nullptr, 0, &RunWork, &task, 0, nullptr));
  if (!worker.Valid()) {
    work(context);
    ShowShown(bar, shown);
    return;
  }
  g_busy = true;
  const HMENU systemMenu = GetSystemMenu(window, FALSE);
  EnableMenuItem(systemMenu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  WPARAM quitCode = 0;
  const bool quit = PumpUntilEnded(worker.Get(), bar, shown, quitCode);
  DropQueuedInput();
  EnableMenuItem(systemMenu, SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
  g_busy = false;
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

bool Busy() { return g_busy; }

bool IgnoresWhileBusy(UINT message, WPARAM wParam) {
  return g_busy && (message == WM_CLOSE ||
                    (message == WM_SYSCOMMAND && (wParam & kSystemCommandMask) == SC_CLOSE));
}

}  // namespace ui
