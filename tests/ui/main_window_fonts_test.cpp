// Fonts and the link cursor of the main window, read inside the process that created the window
// (Wine answers WM_GETFONT and class queries only there).
#include <gtest/gtest.h>

#include <cmath>

#include "driver/driver.h"
#include "expected_layout.h"
#include "ui/main_window.h"

namespace {

using ui::Control;

struct ExpectedFont {
  Control id;
  const wchar_t* face;  // nullptr: the default GUI font
  LONG height;
};

const ExpectedFont kFonts[] = {
    {Control::编辑框1, nullptr, 0},
    {Control::按钮_安装完成, nullptr, 0},
    {Control::标签1, L"", -14},
    {Control::标签_安装, L"宋体", -21},
    {Control::标签_安装完成, L"宋体", -21},
    {Control::标签3, nullptr, 0},
    {Control::选择框1, nullptr, 0},
    {Control::按钮_安装, nullptr, 0},
    {Control::编辑框_路径, nullptr, 0},
    {Control::标签2, L"宋体", -14},
    {Control::标签_正在解压, L"宋体", -21},
};

class MainWindowInProcess : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (ui::MainWindow() == nullptr) {
      ASSERT_TRUE(ui::CreateMainWindow(GetModuleHandleW(nullptr), ui::EventBindings{}));
    }
  }
  // The window goes before the process ends, as the installer's does. Left to the end of the
  // process, Wine destroys it during its own shutdown, where a run once crashed after the test
  // had passed.
  static void TearDownTestSuite() { DestroyWindow(ui::MainWindow()); }
  static HWND ControlWindow(Control id) {
    return driver::Control(ui::MainWindow(), static_cast<int>(id));
  }
};

TEST_F(MainWindowInProcess, FontsOfEveryDrawnControl) {
  for (const ExpectedFont& expected : kFonts) {
    SCOPED_TRACE(static_cast<int>(expected.id));
    const auto font = driver::ControlFont(ControlWindow(expected.id));
    ASSERT_TRUE(font);
    if (expected.face == nullptr) {
      EXPECT_TRUE(font->isDefaultGuiFont);
      continue;
    }
    EXPECT_FALSE(font->isDefaultGuiFont);
    EXPECT_EQ(font->face, expected.face);
    EXPECT_EQ(font->height, expected.height);
    EXPECT_EQ(font->weight, 400);
    EXPECT_EQ(font->charset, GB2312_CHARSET);
  }
}

TEST_F(MainWindowInProcess, OnlyTheLinkLabelShowsTheHandCursor) {
  EXPECT_TRUE(driver::HasHandCursor(ControlWindow(Control::标签3)));
  EXPECT_FALSE(driver::HasHandCursor(ControlWindow(Control::标签2)));
}

// A letter GBK lacks ("ë") comes back as it is, for the root's check to see.
TEST_F(MainWindowInProcess, EditTextRoundTripsEveryLetterThroughTheWindow) {
  ui::SetEditText(Control::编辑框_路径, L"D:\\软件\\Zo\u00eb\\Quorvale\\");
  EXPECT_EQ(driver::Text(ControlWindow(Control::编辑框_路径)), L"D:\\软件\\Zo\u00eb\\Quorvale\\");
  EXPECT_EQ(ui::GetEditText(Control::编辑框_路径), L"D:\\软件\\Zo\u00eb\\Quorvale\\");
  ui::SetEditText(Control::编辑框_路径, L"");
  EXPECT_EQ(ui::GetEditText(Control::编辑框_路径), L"");
}

TEST_F(MainWindowInProcess, SetVisibleShowsAndHidesAtOnce) {
  HWND label = ControlWindow(Control::标签_正在解压);
  ui::SetVisible(Control::标签_正在解压, true);
  EXPECT_TRUE(driver::IsVisible(label));
  ui::SetVisible(Control::标签_正在解压, false);
  EXPECT_FALSE(driver::IsVisible(label));
}

// The bar shows in every look that has work going on, and never over another visible control.
TEST_F(MainWindowInProcess, TheBarShowsWhileWorkGoesOnAndCoversNoOtherVisibleControl) {
  const HWND bar = ControlWindow(Control::进度条_解压);
  const struct {
    ui::Look look;
    bool barShown;
  } looks[] = {{ui::Look::Settings, false},
               {ui::Look::Preparing, true},
               {ui::Look::Writing, true},
               {ui::Look::Unpacking, true},
               {ui::Look::Done, false}};
  for (const auto& [look, barShown] : looks) {
    SCOPED_TRACE(static_cast<int>(look));
    ui::ShowLook(look);
    EXPECT_EQ(driver::IsVisible(bar), barShown);
    const RECT barRect = driver::RectInParent(bar);
    for (const ui_test::ExpectedControl& other : ui_test::kExpected) {
      const HWND control = ControlWindow(other.id);
      if (control == bar || !driver::IsVisible(control)) continue;
      SCOPED_TRACE(static_cast<int>(other.id));
      const RECT otherRect = driver::RectInParent(control);
      RECT overlap{};
      EXPECT_FALSE(driver::IsVisible(bar) && IntersectRect(&overlap, &barRect, &otherRect));
    }
  }
  ui::ShowLook(ui::Look::Settings);
}

// Wine cannot move a window to a monitor of another DPI: the test sends WM_DPICHANGED itself, as
// Windows does after such a move, with the rectangle Windows would suggest for 144 DPI.
TEST_F(MainWindowInProcess, ADpiChangeLaysTheWindowOutAgainAtTheNewDpi) {
  HWND window = ui::MainWindow();
  const auto changeDpi = [window](WORD dpi, RECT suggested) {
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  };
  RECT before{};
  ASSERT_TRUE(GetWindowRect(window, &before));
  const RECT suggested{75, 75, 75 + 789, 75 + 537};
  changeDpi(144, suggested);

  RECT outer{};
  ASSERT_TRUE(GetWindowRect(window, &outer));
  EXPECT_TRUE(EqualRect(&outer, &suggested));
  for (const ui_test::ExpectedControl& expected : ui_test::kExpected) {
    SCOPED_TRACE(static_cast<int>(expected.id));
    // Every value of the layout is even: 1.5 times it is a whole pixel.
    const RECT rect = driver::RectInParent(ControlWindow(expected.id));
    EXPECT_EQ(rect.left, expected.left * 3 / 2);
    EXPECT_EQ(rect.top, expected.top * 3 / 2);
    EXPECT_EQ(rect.right - rect.left, expected.width * 3 / 2);
    EXPECT_EQ(rect.bottom - rect.top, expected.height * 3 / 2);
  }
  LOGFONTW stock{};
  ASSERT_NE(GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof stock, &stock), 0);
  for (const ExpectedFont& expected : kFonts) {
    SCOPED_TRACE(static_cast<int>(expected.id));
    const auto font = driver::ControlFont(ControlWindow(expected.id));
    ASSERT_TRUE(font);
    if (expected.face == nullptr) {
      // The stock font is made for the system's 96 DPI: a copy of it at 1.5 times.
      EXPECT_EQ(font->height, std::lround(stock.lfHeight * 1.5));
      continue;
    }
    EXPECT_EQ(font->face, expected.face);
    // 1.5 times, to the nearest pixel: -21 becomes -32.
    EXPECT_EQ(font->height, std::lround(expected.height * 1.5));
  }
  changeDpi(96, before);  // the other tests of this process see the window at 96 DPI
}

}  // namespace
