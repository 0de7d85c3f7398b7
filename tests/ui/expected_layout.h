#pragma once
// The main window's controls as the user first sees them at 96 DPI, in the window's order: the
// layout the tests read back from the window, in or out of the installer's process.

#include <windows.h>

#include "ui/controls.h"

namespace ui_test {

using ui::Control;

struct ExpectedControl {
  Control id;
  const wchar_t* className;
  const wchar_t* text;
  LONG left, top, width, height;
  bool visible;
  bool tabStop;
};

inline const ExpectedControl kExpected[] = {
    {Control::编辑框1, L"Edit", L"C:\\Quorvale\\brisel\\brisel.exe", 64, 344, 368, 24, true, true},
    {Control::按钮_安装完成, L"Button", L"安装完成并打开", 184, 232, 144, 40, false, true},
    {Control::标签1, L"Static", L"注: 选着安装路径时请勿选择包含中文与空格的目录否则安装出错", 16,
     288, 448, 32, true, false},
    {Control::标签_安装, L"Static", L"安装设置", 104, 48, 280, 48, true, false},
    {Control::通用对话框1, L"Static", L"", 416, 32, 26, 26, false, false},
    {Control::标签_安装完成, L"Static", L"安装完成", 96, 64, 280, 48, false, false},
    {Control::标签3, L"VeltraneLinkLabel", L"自定义安装路径", 384, 192, 104, 24, true, false},
    {Control::选择框1, L"Button", L"创建桌面快捷方式", 16, 240, 144, 24, true, true},
    {Control::按钮_安装, L"Button", L"开始安装", 184, 232, 144, 40, true, true},
    {Control::编辑框_路径, L"Edit", L"C:\\Quorvale\\", 80, 160, 416, 24, true, true},
    {Control::标签2, L"Static", L"安装路径：", 16, 152, 112, 40, true, false},
    {Control::标签_正在解压, L"Static", L"正在解压.....", 112, 88, 280, 48, false, false},
    {Control::进度条_解压, L"msctls_progress32", L"", 112, 138, 280, 12, false, false},
};

}  // namespace ui_test
