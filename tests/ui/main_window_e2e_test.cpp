// The installer's window as a user first sees it, read from the running exe.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "driver/driver.h"
#include "expected_layout.h"
#include "ui/controls.h"

namespace {

using ui::Control;
using ui_test::ExpectedControl;
using ui_test::kExpected;

bool SameClass(const std::wstring& actual, const wchar_t* expected) {
  return CompareStringOrdinal(actual.c_str(), -1, expected, -1, TRUE) == CSTR_EQUAL;
}

class MainWindowLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    auto started = driver::StartInstaller();
    ASSERT_TRUE(started) << "cannot start the installer from " << driver::DistDirectory().size();
    installer_ = std::move(*started);
    window_ = driver::WaitForWindow(installer_.Id(), L"Veltrane installer");
    ASSERT_NE(window_, nullptr);
    ASSERT_TRUE(driver::Settle(window_));
  }

  driver::Process installer_;
  HWND window_ = nullptr;
};

TEST_F(MainWindowLayout, RunsUnderTheExpectedAnsiCodePage) {
  const char* expected = std::getenv("VELTRANE_EXPECT_ACP");
  EXPECT_EQ(GetACP(), expected != nullptr ? static_cast<UINT>(std::atoi(expected)) : 936u);
}

TEST_F(MainWindowLayout, CaptionOuterRectangleAndFixedFrame) {
  EXPECT_EQ(driver::Text(window_), L"Veltrane installer");
  RECT outer{};
  ASSERT_TRUE(GetWindowRect(window_, &outer));
  EXPECT_EQ(outer.left, 50);
  EXPECT_EQ(outer.top, 50);
  EXPECT_EQ(outer.right - outer.left, 526);
  EXPECT_EQ(outer.bottom - outer.top, 358);
  const LONG style = GetWindowLongW(window_, GWL_STYLE);
  EXPECT_NE(style & WS_CAPTION, 0);
  EXPECT_EQ(style & WS_THICKFRAME, 0) << "the user must not be able to resize the window";
  EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
}

TEST_F(MainWindowLayout, EveryControlInOrderWithTextRectangleVisibilityAndTabStop) {
  HWND child = GetWindow(window_, GW_CHILD);
  for (const ExpectedControl& expected : kExpected) {
    SCOPED_TRACE(static_cast<int>(expected.id));
    ASSERT_NE(child, nullptr) << "fewer controls than the layout holds";
    EXPECT_EQ(GetDlgCtrlID(child), static_cast<int>(expected.id)) << "window order";
    EXPECT_TRUE(SameClass(driver::ClassName(child), expected.className))
        << driver::ClassName(child).size();
    EXPECT_EQ(driver::Text(child), expected.text);
    const RECT rect = driver::RectInParent(child);
    EXPECT_EQ(rect.left, expected.left);
    EXPECT_EQ(rect.top, expected.top);
    EXPECT_EQ(rect.right - rect.left, expected.width);
    EXPECT_EQ(rect.bottom - rect.top, expected.height);
    EXPECT_EQ(driver::IsVisible(child), expected.visible);
    EXPECT_EQ(driver::IsTabStop(child), expected.tabStop);
    EXPECT_NE(GetWindowLongW(child, GWL_STYLE) & WS_CLIPSIBLINGS, 0)
        << "overlapping controls must not paint over each other (标签2 reaches under the path box)";
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "more controls than the layout holds";
}

// The window and every control at the screen DPI the test runs at (VELTRANE_EXPECT_DPI; 96, the
// layout's own, unless registered with another): each value of the layout times dpi/96, so at
// 144 DPI the window measures 789 x 537 and sits at 75,75.
TEST_F(MainWindowLayout, WindowAndEveryControlScaledToTheScreenDpi) {
  const char* setting = std::getenv("VELTRANE_EXPECT_DPI");
  const LONG dpi = setting != nullptr ? std::atoi(setting) : 96;
  const auto atDpi = [dpi](LONG value) { return value * dpi / 96; };
  RECT outer{};
  ASSERT_TRUE(GetWindowRect(window_, &outer));
  EXPECT_EQ(outer.left, atDpi(50));
  EXPECT_EQ(outer.top, atDpi(50));
  EXPECT_EQ(outer.right - outer.left, atDpi(526));
  EXPECT_EQ(outer.bottom - outer.top, atDpi(358));
  for (const ExpectedControl& expected : kExpected) {
    SCOPED_TRACE(static_cast<int>(expected.id));
    const RECT rect = driver::RectInParent(driver::Control(window_, static_cast<int>(expected.id)));
    EXPECT_EQ(rect.left, atDpi(expected.left));
    EXPECT_EQ(rect.top, atDpi(expected.top));
    EXPECT_EQ(rect.right - rect.left, atDpi(expected.width));
    EXPECT_EQ(rect.bottom - rect.top, atDpi(expected.height));
  }
}

TEST_F(MainWindowLayout, PathBoxAndHiddenBoxLieWhereTheUserCanAndCannotSeeThem) {
  RECT client{};
  ASSERT_TRUE(GetClientRect(window_, &client));
  const RECT hidden =
      driver::RectInParent(driver::Control(window_, static_cast<int>(Control::编辑框1)));
  EXPECT_GE(hidden.top, client.bottom) << "编辑框1 must lie below the client area";
  const RECT path =
      driver::RectInParent(driver::Control(window_, static_cast<int>(Control::编辑框_路径)));
  EXPECT_LE(path.bottom, client.bottom);
}

TEST_F(MainWindowLayout, ClosingTheWindowEndsTheProgram) {
  PostMessageW(window_, WM_CLOSE, 0, 0);
  const auto code = installer_.WaitForExit();
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0u);
}

}  // namespace
