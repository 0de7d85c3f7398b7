#pragma once
// The main window's controls, in the window's own order. The values are the Win32 control ids,
// which is also how the end-to-end tests find each control.

namespace ui {

enum class Control : int {
  编辑框1 = 1001,
  按钮_安装完成,
  标签1,
  标签_安装,
  通用对话框1,
  标签_安装完成,
  标签3,
  选择框1,
  按钮_安装,
  编辑框_路径,
  标签2,
  标签_正在解压,
  进度条_解压,
};

inline constexpr int kControlCount = 13;
inline constexpr int kFirstControlId = static_cast<int>(Control::编辑框1);
static_assert(static_cast<int>(Control::进度条_解压) - kFirstControlId + 1 == kControlCount,
              "kControlCount counts every control of the list");

}  // namespace ui
