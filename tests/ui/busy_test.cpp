// A step on a window of the test's own, whose procedure has no busy checks of its own: what the
// step itself keeps from its controls and its window.
// windows.h first: commctrl.h builds on its types.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
#include "ui/busy.h"

#include <gtest/gtest.h>

#include <thread>

#include "runtime/scoped_handle.h"
#include "ui/busy_for_testing.h"

namespace {

constexpr UINT kPassed = WM_APP + 1;  // posted after the input: the pump has handled the queue
constexpr int kButtonId = 1, kEditId = 2;
constexpr wchar_t kText[] = L"C:\\Quorvale\\";

struct Counts {
  int clicks = 0;
  HANDLE passed = nullptr;
};

LRESULT CALLBACK StepTestProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* counts = reinterpret_cast<Counts*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) ++counts->clicks;
  if (message == kPassed) SetEvent(counts->passed);
  return DefWindowProcW(window, message, wParam, lParam);
}

class StepTest : public testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = StepTestProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VeltraneStepTestWindow";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, windowClass.lpszClassName, L"step", WS_OVERLAPPEDWINDOW, 0, 0, 400,
                              200, nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&counts_));
    button_ = CreateWindowExW(0, L"BUTTON", L"go", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 100,
                              40, window_, reinterpret_cast<HMENU>(kButtonId), nullptr, nullptr);
    edit_ = CreateWindowExW(0, L"EDIT", kText, WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 50, 300,
                            24, window_, reinterpret_cast<HMENU>(kEditId), nullptr, nullptr);
    ASSERT_NE(button_, nullptr);
    ASSERT_NE(edit_, nullptr);
    counts_.passed = passed_.Get();
    ShowWindow(window_, SW_SHOWNORMAL);
  }
  void TearDown() override { DestroyWindow(window_); }

  [[nodiscard]] std::wstring EditText() const {
    wchar_t text[64] = {};
    GetWindowTextW(edit_, text, 64);
    return text;
  }

  // Runs `work` as a step on the test window.
  template <typename Work>
  void Step(const Work& work) {
    ui::RunWhileLive(window_, {}, work);
  }

  HWND window_ = nullptr, button_ = nullptr, edit_ = nullptr;
  runtime::ScopedHandle passed_{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  Counts counts_;
};

// Posted as Windows queues real input; the window's own procedure would act on every one of them.
TEST_F(StepTest, ClicksAndKeysQueuedForTheControlsDoNotGetThrough) {
  const struct {
    const char* what;
    HWND* target;
    UINT first, second;
    WPARAM key;
  } kInputs[] = {
      {"click", &button_, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON},
      {"space on the button", &button_, WM_KEYDOWN, WM_KEYUP, VK_SPACE},
      {"typed letter", &edit_, WM_CHAR, WM_CHAR, L'x'},
  };
  for (const auto& input : kInputs) {
    SCOPED_TRACE(input.what);
    const HWND target = *input.target;
    Step([&] {
      PostMessageW(target, input.first, input.key, MAKELPARAM(5, 5));
      PostMessageW(target, input.second, input.key == MK_LBUTTON ? 0 : input.key, MAKELPARAM(5, 5));
      PostMessageW(window_, kPassed, 0, 0);
      WaitForSingleObject(passed_.Get(), INFINITE);
    });
    EXPECT_EQ(counts_.clicks, 0);
    EXPECT_EQ(EditText(), kText);
  }
}

// An input method sends its result to the box with the focus, past any queue.
TEST_F(StepTest, EditBoxesRefuseTextDuringAStepAndAreRestoredExactlyAfter) {
  const HWND readOnly = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_READONLY, 0, 80, 100, 24,
                                        window_, nullptr, nullptr, nullptr);
  Step([&] {
    SendMessageW(edit_, WM_CHAR, L'x', 0);
    SendMessageW(edit_, WM_IME_CHAR, L'安', 0);
  });
  EXPECT_EQ(EditText(), kText);
  EXPECT_EQ(GetWindowLongW(edit_, GWL_STYLE) & ES_READONLY, 0);
  EXPECT_NE(GetWindowLongW(readOnly, GWL_STYLE) & ES_READONLY, 0);
  SendMessageW(edit_, WM_CHAR, L'x', 0);
  EXPECT_NE(EditText().find(L'x'), std::wstring::npos) << "typing works again after the step";
}

// Wine never asks, and answers ShutdownBlockReasonCreate with ERROR_CALL_NOT_IMPLEMENTED: what is
// tested is the window's answer, which Windows asks of it at a logoff or shutdown.
TEST_F(StepTest, LogoffShutdownAndClosingWaitForTheStep) {
  LRESULT duringStep = TRUE;
  Step([&] {
    duringStep = SendMessageW(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    SendMessageW(window_, WM_CLOSE, 0, 0);
    SendMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  EXPECT_EQ(duringStep, FALSE);
  EXPECT_TRUE(IsWindow(window_));
  EXPECT_EQ(SendMessageW(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
}

// Every stage of a look moves its bar forward only, whatever its progress does.
TEST_F(StepTest, TheBarNeverMovesBackWithinAStep) {
  const HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, 0, 100, 300,
                                   12, window_, nullptr, nullptr, nullptr);
  SendMessageW(bar, PBM_SETRANGE32, 0, ui::kProgressSteps);
  runtime::Progress progress;
  progress.Restart(100);
  const auto position = [bar] { return SendMessageW(bar, PBM_GETPOS, 0, 0); };
  ui::RunWhileLive(window_, {bar, &progress, 2000, 10000}, [&] {
    progress.done = 50;
    while (position() != 6000) Sleep(10);
    progress.Restart(100);  // a retry that counts again from none
  });
  EXPECT_EQ(position(), 6000);
}

// The finish's wait and the payload check's: a time, or another thread's handle.
TEST_F(StepTest, AWaitOnATimeOrAHandleKeepsTheWindowAnswering) {
  const runtime::ScopedHandle set(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  LRESULT answered = 0;
  std::thread other([&] {
    DWORD_PTR answer = 0;
    answered = SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer);
    SetEvent(set.Get());
  });
  ui::RunWhileLive(window_, {}, set.Get(), INFINITE);
  other.join();
  EXPECT_NE(answered, 0) << "the sent message was answered while the step waited";
  PostQuitMessage(3);
  const DWORD start = GetTickCount();
  ui::RunWhileLive(window_, {}, nullptr, 300);
  EXPECT_GE(GetTickCount() - start, 300u);
  MSG quit;
  ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "kept for the loop";
  EXPECT_EQ(quit.wParam, 3u);
}

DWORD WINAPI FailingWait(DWORD, const HANDLE*, DWORD, DWORD, DWORD) {
  SetLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}

// Wine's message wait does not fail; Windows' can, and the worker uses the caller's frame.
TEST_F(StepTest, AFailedWaitStillWaitsForTheWorker) {
  bool ended = false;
  const auto work = [&ended] {
    Sleep(200);
    ended = true;
  };
  ui::RunWhileLiveForTesting(
      window_, {}, [](void* context) { (*static_cast<decltype(work)*>(context))(); },
      const_cast<void*>(static_cast<const void*>(&work)), &FailingWait);
  EXPECT_TRUE(ended);
}

}  // namespace
