#include "ui/busy.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
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

std::wstring g_reason;
// The id of a step's subclass of its window; steps never nest, so one id serves them all.
constexpr UINT_PTR kStepSubclass = 1;

// Mouse input in a client area and keys other than the system's (Alt+F4, the window menu): what
// reaches the controls. Moving, minimising and the window menu stay.
bool IsControlInput(UINT message) {
  return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_KEYDOWN ||
         message == WM_KEYUP || message == WM_CHAR || message == WM_DEADCHAR;
}

// What closes the window: WM_CLOSE, and the window menu's close, which the close button and
// Alt+F4 send.
bool IsClose(UINT message, WPARAM wParam) {
  return message == WM_CLOSE ||
         (message == WM_SYSCOMMAND && (wParam & kSystemCommandMask) == SC_CLOSE);
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

// Everything a step changes in its window, taken back when it ends. Its filter is a subclass of
// that window, which knows its step: nothing of it outlives the step.
class Step {
 public:
  Step(HWND window, const OnClose& onClose) : window_(window), onClose_(onClose) {
    // Without a window (its program could not make one) only the work's end is awaited.
    if (window_ == nullptr) return;
    if (onClose_.closed == nullptr) {
      EnableMenuItem(GetSystemMenu(window_, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    }
    subclassed_ = SetWindowSubclass(window_, &Step::Filter, kStepSubclass,
                                    reinterpret_cast<DWORD_PTR>(this)) != FALSE;
    EnumChildWindows(window_, &CollectWritableEdit, reinterpret_cast<LPARAM>(&edits_));
    for (HWND edit : edits_) SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
    // Windows before 10 and Wine do without it (Wine 8 answers ERROR_CALL_NOT_IMPLEMENTED):
    // the answer FALSE still holds the session back, only without the step's reason shown.
    reasonGiven_ = ShutdownBlockReasonCreate(window_, g_reason.c_str()) != FALSE;
  }
  Step(const Step&) = delete;
  Step& operator=(const Step&) = delete;
  ~Step() {
    if (window_ == nullptr) return;
    if (reasonGiven_) ShutdownBlockReasonDestroy(window_);
    for (HWND edit : edits_) SendMessageW(edit, EM_SETREADONLY, FALSE, 0);
    if (subclassed_) RemoveWindowSubclass(window_, &Step::Filter, kStepSubclass);
    if (onClose_.closed == nullptr) {
      EnableMenuItem(GetSystemMenu(window_, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
    }
  }

 private:
  // Refuses, for the step, the end of the session and, unless the step hands it on, closing the
  // window: what would end the program half-way. The messages of a logoff or shutdown are sent to
  // the window, never queued, so only its procedure can answer them.
  static LRESULT CALLBACK Filter(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR step) {
    if (message == WM_QUERYENDSESSION) return FALSE;
    if (IsClose(message, wParam)) {
      reinterpret_cast<Step*>(step)->Closed();
      return 0;
    }
    return DefSubclassProc(window, message, wParam, lParam);
  }

  // Hands a close to the step's handler, unless there is none or it is still handling one.
  void Closed() {
    if (onClose_.closed == nullptr || closing_) return;
    closing_ = true;
    onClose_.closed(onClose_.context);
    closing_ = false;
  }

  HWND window_;
  OnClose onClose_;
  std::vector<HWND> edits_;
  bool subclassed_ = false;
  bool reasonGiven_ = false;
  bool closing_ = false;
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

// The steps' worker, started by the first step and kept for the next ones: a thread's start and
// end cost Wine about 0.7 ms, and an installation takes half a dozen steps.
class StepWorker {
 public:
  // Hands `work` to the worker: the event signalled once it has been done, after which Free must
  // be called; null, with nothing started, while the worker does another step's work (a step
  // of another thread) or when it cannot be had.
  HANDLE Start(const Work& work) {
    if (busy_.exchange(true)) return nullptr;
    if (!Launched()) {
      busy_.store(false);
      return nullptr;
    }
    work_ = &work;
    SetEvent(wake_.Get());
    return done_.Get();
  }
  void Free() { busy_.store(false); }

  // Whether its thread runs, started now when it does not yet.
  bool Launched() {
    if (thread_.Valid()) return true;
    wake_.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    done_.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (wake_.Valid() && done_.Valid()) {
      thread_.Reset(CreateThread(nullptr, 0, &Serve, this, 0, nullptr));
    }
    return thread_.Valid();
  }

 private:
  static DWORD WINAPI Serve(void* self) {
    auto& worker = *static_cast<StepWorker*>(self);
    while (WaitForSingleObject(worker.wake_.Get(), INFINITE) == WAIT_OBJECT_0) {
      RunWork(const_cast<Work*>(worker.work_));
      SetEvent(worker.done_.Get());
    }
    return 0;
  }

  std::atomic<bool> busy_{false};
  runtime::ScopedHandle wake_, done_, thread_;
  const Work* work_ = nullptr;
};
// Never destroyed: it waits for work until the program ends.
StepWorker* g_worker = nullptr;

StepWorker& Worker() {
  if (g_worker == nullptr) g_worker = new StepWorker;
  return *g_worker;
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

void AwaitLive(HWND window, const Meter& meter, HANDLE awaited, DWORD timeout,
               const OnClose& onClose, MessageWait wait) {
  WPARAM quitCode = 0;
  bool quit = false;
  {
    const Step step(window, onClose);
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

void StartStepWorker() { (void)Worker().Launched(); }

void RunWhileLive(HWND window, const Meter& meter, HANDLE awaited, DWORD timeout,
                  const OnClose& onClose) {
  AwaitLive(window, meter, awaited, timeout, onClose, &MsgWaitForMultipleObjectsEx);
}

void RunWhileLiveForTesting(HWND window, const Meter& meter, void (*work)(void*), void* context,
                            const OnClose& onClose, MessageWait wait) {
  Work task{work, context};
  // The work makes no window calls: on the kept worker, else on a thread of its own, and where no
  // thread can be had at all, on this one, blocking the window instead.
  if (const HANDLE done = Worker().Start(task); done != nullptr) {
    AwaitLive(window, meter, done, INFINITE, onClose, wait);
    Worker().Free();
    return;
  }
  const runtime::ScopedHandle worker(CreateThread(nullptr, 0, &RunWork, &task, 0, nullptr));
  if (!worker.Valid()) {
    work(context);
    ShowMeter(meter);
    return;
  }
  AwaitLive(window, meter, worker.Get(), INFINITE, onClose, wait);
}

void RunWhileLive(HWND window, const Meter& meter, void (*work)(void*), void* context,
                  const OnClose& onClose) {
  RunWhileLiveForTesting(window, meter, work, context, onClose, &MsgWaitForMultipleObjectsEx);
}

}  // namespace ui
