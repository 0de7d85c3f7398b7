// A step on a window of the test's own, whose procedure has no busy checks of its own: what the
// step itself keeps from its controls and its window.
#include "ui/busy.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "runtime/scoped_handle.h"
#include "ui/busy_for_testing.h"

namespace {

constexpr UINT kPassed = WM_APP + 1;  // posted after the input: the pump has handled the queue
constexpr UINT kNest = WM_APP + 2;    // a step started from the window's procedure during a step
constexpr wchar_t kText[] = L"C:\\Quorvale\\";

int g_clicks = 0;
HANDLE g_passed = nullptr;

DWORD g_nestedWorker = 0;

LRESULT CALLBACK StepTestProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) ++g_clicks;
  if (message == kPassed) SetEvent(g_passed);
  if (message == kNest) {
    ui::RunWhileLive(window, {}, [] { g_nestedWorker = GetCurrentThreadId(); });
    SetEvent(g_passed);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class StepTest : public testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = StepTestProc;
    windowClass.lpszClassName = L"VeltraneStepTestWindow";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, windowClass.lpszClassName, L"step", WS_OVERLAPPEDWINDOW, 0, 0, 400,
                              200, nullptr, nullptr, nullptr, nullptr);
    button_ = Child(L"BUTTON", L"go", BS_PUSHBUTTON);
    edit_ = Child(L"EDIT", kText, ES_AUTOHSCROLL);
    g_clicks = 0;
    g_passed = passed_.Get();
  }
  void TearDown() override { DestroyWindow(window_); }

  HWND Child(const wchar_t* kind, const wchar_t* text, DWORD style) {
    return CreateWindowExW(0, kind, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 300, 40, window_,
                           nullptr, nullptr, nullptr);
  }
  [[nodiscard]] std::wstring EditText() const {
    wchar_t text[64] = {};
    GetWindowTextW(edit_, text, 64);
    return text;
  }

  HWND window_ = nullptr, button_ = nullptr, edit_ = nullptr;
  runtime::ScopedHandle passed_{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
};

// Posted as Windows queues real input; the window's own procedure would act on every one of them.
TEST_F(StepTest, ClicksAndKeysQueuedForTheControlsDoNotGetThrough) {
  const struct {
    HWND target;
    UINT first, second;
    WPARAM key;
  } kInputs[] = {
      {button_, WM_LBUTTONDOWN, WM_LBUTTONUP, 0},
      {button_, WM_KEYDOWN, WM_KEYUP, VK_SPACE},
      {edit_, WM_CHAR, WM_CHAR, L'x'},
  };
  for (const auto& input : kInputs) {
    ui::RunWhileLive(window_, {}, [&] {
      PostMessageW(input.target, input.first, input.key ? input.key : MK_LBUTTON, 0x50005);
      PostMessageW(input.target, input.second, input.key, 0x50005);
      PostMessageW(window_, kPassed, 0, 0);
      WaitForSingleObject(passed_.Get(), INFINITE);
    });
    EXPECT_EQ(g_clicks, 0) << input.first;
    EXPECT_EQ(EditText(), kText) << input.first;
  }
}

// A logoff, a shutdown and closing wait for the step, and the edit boxes it made read-only are
// given back as they were. Wine never asks the window at a logoff, and answers
// ShutdownBlockReasonCreate with ERROR_CALL_NOT_IMPLEMENTED: what is tested is the window's answer,
// which Windows asks of it.
TEST_F(StepTest, TheSessionAndClosingWaitForTheStepAndEditBoxesAreGivenBackAsTheyWere) {
  const HWND readOnly = Child(L"EDIT", L"", ES_READONLY);
  LRESULT duringStep = TRUE;
  ui::RunWhileLive(window_, {}, [&] {
    duringStep = SendMessageW(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    SendMessageW(window_, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(duringStep, FALSE);
  EXPECT_TRUE(IsWindow(window_)) << "not closed";
  EXPECT_NE(GetWindowLongW(readOnly, GWL_STYLE) & ES_READONLY, 0);
  SendMessageW(edit_, WM_CHAR, L'x', 0);
  EXPECT_NE(EditText().find(L'x'), std::wstring::npos) << "typing works again after the step";
  EXPECT_EQ(SendMessageW(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
}

// One worker does step after step; a step that comes while it works gets a thread of its own. A
// thread-local mark tells the threads apart: a thread's id may be given again once it has ended.
TEST_F(StepTest, StepsShareOneKeptWorkerAndAStepDuringAStepGetsAThreadOfItsOwn) {
  const DWORD mark = TlsAlloc();
  ASSERT_NE(mark, TLS_OUT_OF_INDEXES);
  static int marked = 0;
  DWORD first = 0;
  void* seen = nullptr;
  ui::RunWhileLive(window_, {}, [&] {
    first = GetCurrentThreadId();
    TlsSetValue(mark, &marked);
  });
  ui::RunWhileLive(window_, {}, [&] {
    seen = TlsGetValue(mark);
    PostMessageW(window_, kNest, 0, 0);
    WaitForSingleObject(passed_.Get(), INFINITE);
  });
  TlsFree(mark);
  EXPECT_NE(first, GetCurrentThreadId()) << "never the window's thread";
  EXPECT_EQ(seen, &marked) << "the second step ran on the first one's thread";
  EXPECT_NE(g_nestedWorker, 0u) << "the nested step's work was done";
  EXPECT_NE(g_nestedWorker, first);
  EXPECT_NE(g_nestedWorker, GetCurrentThreadId());
}

DWORD WINAPI FailingWait(DWORD, const HANDLE*, DWORD, DWORD, DWORD) { return WAIT_FAILED; }

// Wine's message wait does not fail; Windows' can, and the worker uses the caller's frame.
TEST_F(StepTest, AFailedWaitStillWaitsForTheWorker) {
  bool ended = false;
  ui::RunWhileLiveForTesting(
      window_, {},
      [](void* context) {
        Sleep(200);
        *static_cast<bool*>(context) = true;
      },
      &ended, {}, &FailingWait);
  EXPECT_TRUE(ended);
}

}  // namespace
