#include "ui/busy.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/gbk.h"
#include "runtime/scoped_handle.h"
#include "ui/busy_for_testing.h"

namespace ui {

namespace {

// How long the window may go at most without its bar being brought up to date.
constexpr DWORD kTickMilliseconds = 100;
// A system command's own bits; the system uses the low four.
constexpr WPARAM kSystemCommandMask = 0xFFF0;

bool g_busy = false;
std::wstring g_reason;
// The stepping window's own procedure, which StepWindowProc stands in front of during a step.
WNDPROC g_windowProc = nullptr;

// Mouse input in a client area and keys other than the system's (Alt+F4, the window menu): what
// reaches the controls. Moving, minimising and the window menu stay.
bool IsControlInput(UINT message) {
  return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_KEYDOWN ||
         message == WM_KEYUP || message == WM_CHAR || message == WM_DEADCHAR;
}

// Refuses, for the step, what would end the program half-way: closing the window (WM_CLOSE, the
// window menu's close, the close button, Alt+F4) and the end of the session. The messages of a
// logoff or shutdown are sent to the window, never queued, so only its procedure can answer them.
LRESULT CALLBACK StepWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_QUERYENDSESSION) return FALSE;
  if (message == WM_CLOSE ||
      (message == WM_SYSCOMMAND && (wParam & kSystemCommandMask) == SC_CLOSE)) {
    return 0;
  }
  return CallWindowProcW(g_windowProc, window, message, wParam, lParam);
}

// The window's edit boxes that accept typing. Read-only ones ignore what an input method hands
// them (WM_IME_CHAR) as they ignore keys, which the pump's filter cannot catch: the input method
// sends it, it is never queued.
BOOL CALLBACK CollectWritableEdit(HWND child, LPARAM edits) {
  wchar_t className[8] = {};
  if (GetClassNameW(child, className, static_cast<int>(std::size(className))) > 0 &&
      lstrcmpiW(className, L"Edit") == 0 && (GetWindowLongW(child, GWL_STYLE) & ES_READONLY) == 0) {
    reinterpret_cast<std::vector<HWND>*>(edits)->push_back(child);
  }
  return TRUE;
}

// Everything a step changes in its window, taken back when it ends.
class Step {
 public:
  explicit Step(HWND window) : window_(window) {
    g_busy = true;
    // Without a window (its program could not make one) only the work's end is awaited.
    if (window_ == nullptr) return;
    EnableMenuItem(GetSystemMenu(window_, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    g_windowProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StepWindowProc)));
    EnumChildWindows(window_, &CollectWritableEdit, reinterpret_cast<LPARAM>(&edits_));
    for (HWND edit : edits_) SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
    // Windows before 10 and Wine do without it (Wine 8 answers ERROR_CALL_NOT_IMPLEMENTED):
    // the answer FALSE still holds the session back, only without the step's reason shown.
    reasonGiven_ = ShutdownBlockReasonCreate(window_, g_reason.c_str()) != FALSE;
  }
  Step(const Step&) = delete;
  Step& operator=(const Step&) = delete;
  ~Step() {
    g_busy = false;
    if (window_ == nullptr) return;
    if (reasonGiven_) ShutdownBlockReasonDestroy(window_);
    for (HWND edit : edits_) SendMessageW(edit, EM_SETREADONLY, FALSE, 0);
    if (g_windowProc != nullptr) {
      SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_windowProc));
    }
    g_windowProc = nullptr;
    EnableMenuItem(GetSystemMenu(window_, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
  }

 private:
  HWND window_;
  std::vector<HWND> edits_;
  bool reasonGiven_ = false;
};

struct Work {
  void (*run)(void*);
  void* context;
};

DWORD WINAPI RunWork(void* work) {
  const auto& [run, context] = *static_cast<const Work*>(work);
  run(context);
  return 0;
}

// Brings the bar up to the meter's progress; it never moves back.
void ShowMeter(const Meter& meter) {
  if (meter.bar == nullptr || meter.progress == nullptr) return;
  const std::uint64_t total = meter.progress->total.load(std::memory_order_relaxed);
  const std::uint64_t done = std::min(meter.progress->done.load(std::memory_order_relaxed), total);
  const auto span = static_cast<std::uint64_t>(meter.to - meter.from);
  const int position = meter.from + (total == 0 ? 0 : static_cast<int>(done * span / total));
  if (position > static_cast<int>(SendMessageW(meter.bar, PBM_GETPOS, 0, 0))) {
    SendMessageW(meter.bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  }
}

// Handles messages until `awaited` is signalled or the time is up; a quit message is kept and
// given back. Where `wait` fails it blocks on `awaited` for the rest of the time instead: a worker
// still running may use its caller's frame, which must not be left meanwhile.
bool Pump(HANDLE awaited, DWORD timeout, const Meter& meter, MessageWait wait, WPARAM& quitCode) {
  const DWORD handles = awaited != nullptr ? 1 : 0;
  const DWORD start = GetTickCount();
  bool quit = false;
  for (;;) {
    ShowMeter(meter);
    // Unsigned differences stay right when the tick count wraps around.
    const DWORD elapsed = GetTickCount() - start;
    if (timeout != INFINITE && elapsed >= timeout) break;
    const DWORD left = timeout == INFINITE ? INFINITE : timeout - elapsed;
    const DWORD woken = wait(handles, &awaited, std::min(kTickMilliseconds, left), QS_ALLINPUT,
                             MWMO_INPUTAVAILABLE);
    if (woken == WAIT_FAILED) {
      if (awaited != nullptr) {
        WaitForSingleObject(awaited, left);
      } else {
        Sleep(left);
      }
      break;
    }
    if (handles == 1 && woken == WAIT_OBJECT_0) break;
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
  ShowMeter(meter);
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

void AwaitLive(HWND window, const Meter& meter, HANDLE awaited, DWORD timeout, MessageWait wait) {
  WPARAM quitCode = 0;
  bool quit = false;
  {
    const Step step(window);
    quit = Pump(awaited, timeout, meter, wait, quitCode);
    DropQueuedInput();
  }
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

}  // namespace

void SetProgressBar(HWND bar, std::uint64_t done, std::uint64_t total) {
  // Nothing counted yet is nothing done: a step that is still counting its work shows empty.
  const std::uint64_t steps = total == 0 ? 0 : std::min(done, total) * kProgressSteps / total;
  SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(steps), 0);
}

void SetStepReason(std::string_view gbk) { g_reason = runtime::GbkToWide(gbk); }

void RunWhileLive(HWND window, const Meter& meter, HANDLE awaited, DWORD timeout) {
  AwaitLive(window, meter, awaited, timeout, &MsgWaitForMultipleObjectsEx);
}

void RunWhileLiveForTesting(HWND window, const Meter& meter, void (*work)(void*), void* context,
                            MessageWait wait) {
  Work task{work, context};
  // The work makes no window calls; where no thread can be had, it blocks the window instead.
  const runtime::ScopedHandle worker(CreateThread(nullptr, 0, &RunWork, &task, 0, nullptr));
  if (!worker.Valid()) {
    work(context);
    ShowMeter(meter);
    return;
  }
  AwaitLive(window, meter, worker.Get(), INFINITE, wait);
}

void RunWhileLive(HWND window, const Meter& meter, void (*work)(void*), void* context) {
  RunWhileLiveForTesting(window, meter, work, context, &MsgWaitForMultipleObjectsEx);
}

bool Busy() { return g_busy; }

}  // namespace ui
