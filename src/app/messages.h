#pragma once
// What the installer tells the user. Every text is shown exactly as it stands, trailing blanks
// included, in a task-modal box owned by the main window with the caption "Error".

#include <windows.h>

#include <cstdint>
#include <string>

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
// The root holds a letter GBK lacks (Zoë, Hangul): the record and path.dat, which keep GBK,
// would name another folder.
inline constexpr char kRootNotRecordable[] =
    "安装记录无法保存该文件夹的名称，因为其中含有无法记录的字符。请选择其他文件夹。";
// The payload does not match the checksum the build recorded: the download or the disk damaged it.
inline constexpr char kInstallerDamaged[] = "安装程序已损坏，请重新下载后再安装。";
// The installer's own file cannot be read: its medium fails (a dropped share, a pulled stick).
inline constexpr char kInstallerUnreadable[] = "无法读取安装程序，请将它复制到本机磁盘后再运行。";

// Asked when the window is closed while the archive is written or unpacked.
inline constexpr char kCancelQuestion[] = "确定要取消安装吗？本次安装已写入的文件将被删除。";
// lib\7z.exe is not the extractor the build shipped, or cannot be read: it is never run.
inline constexpr char kExtractorReplaced[] =
    "安装程序的解压组件 lib\\7z.exe 已损坏或被替换，请重新下载完整的安装包后再安装。";
// The program was not started for the user (the installer runs elevated, or the desktop's shell
// did not answer): they start it themselves, from its shortcut.
inline constexpr char kStartProgramYourself[] = "安装已完成。请从桌面或“开始”菜单启动 brisel。";
// The caption of a box that tells rather than warns: the installer's name, as Windows' own boxes.
inline constexpr char kInstallerCaption[] = "Veltrane installer";

// Error icon with OK (failures); with OK and Cancel (the reinstall and the cancel question).
inline constexpr int kErrorStyle = MB_ICONERROR;
inline constexpr int kQuestionStyle = MB_ICONERROR | MB_OKCANCEL;

// Shows a message box with the caption "Error" owned by the main window; the button code.
int ShowError(const char* message, int style = kErrorStyle);

// Asks whether to cancel the installation (kCancelQuestion): true when the user answers OK.
[[nodiscard]] bool AskToCancelInstallation();

// Tells the user, in an information box with OK, to start brisel from the desktop or Start.
void AskToStartProgramFromDesktop();

// Tells the user that brisel runs (kProgramRunning): true when they ask to try again.
[[nodiscard]] bool AskToRetryWhileProgramRuns();

// The message of a volume short of space: what the installation needs at its peak and what the
// volume has, in whole MB (MiB), the need rounded up and the space down.
[[nodiscard]] std::string DiskSpaceShortMessage(std::uint64_t needBytes, std::uint64_t freeBytes);

}  // namespace app
