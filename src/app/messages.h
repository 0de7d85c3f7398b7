#pragma once
// What the installer tells the user. Every text is shown exactly as it stands, trailing blanks
// included, in a task-modal box owned by the main window with the caption "Error".

#include <windows.h>

namespace app {

inline constexpr char kReinstallQuestion[] = "程序已安装过是否重新安装！                        ";
inline constexpr char kDirectoryFailed[] =
    "安装目录创建失败！请更换换到C盘以外目录或者请使用管理员权限运行！    ";
inline constexpr char kArchiveWriteFailed[] =
    "文件写出失败！请更换换到C盘以外目录或者请使用管理员权限运行！    ";
inline constexpr char kUnpackFailed[] =
    "文件解压缩失败！请更换换到C盘以外目录或者请使用管理员权限运行！    ";
inline constexpr char kRegistryFailed[] =
    "注册表写入失败！请更换换到C盘以外目录或者请使用管理员权限运行！    ";
inline constexpr char kChooseValidPath[] = "请选择正确的安装路径！";

// Error icon with OK (failures); with OK and Cancel (the reinstall question).
inline constexpr int kErrorStyle = MB_ICONERROR;
inline constexpr int kQuestionStyle = MB_ICONERROR | MB_OKCANCEL;

// Shows a message box with the caption "Error" owned by the main window; the button code.
int ShowError(const char* message, int style = kErrorStyle);

}  // namespace app
