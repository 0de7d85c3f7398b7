#pragma once
// A clean machine for each end-to-end test, installers laid out in folders of their own with the
// real or a stand-in extractor, and readers for what an installation leaves behind.

#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "ui/controls.h"

namespace e2e {

// The shipped installer with its own extractor; an installer built around the stand-in, with it;
// the shipped installer with no extractor; the shipped installer with the stand-in put in place of
// its extractor.
enum class Extractor { Real, StandIn, Missing, Replaced };

struct RegistryData {
  DWORD type = 0;
  std::vector<BYTE> bytes;
};

// What a test reads of a control.
struct LookState {
  bool heading = false;    // 标签_安装
  bool unpacking = false;  // 标签_正在解压
  bool done = false;       // 标签_安装完成
  bool install = false;    // 按钮_安装
  bool finish = false;     // 按钮_安装完成
  bool shortcut = false;   // 选择框1
  bool operator==(const LookState&) const = default;
};
inline constexpr LookState kSettingsLook{true, false, false, true, false, true};
inline constexpr LookState kWritingLook{false, false, false, true, false, false};
inline constexpr LookState kUnpackingLook{false, true, false, true, false, false};
inline constexpr LookState kDoneLook{false, false, true, false, true, false};

// What the installer says of a root whose name GBK, the record's encoding, cannot hold.
inline constexpr wchar_t kNotRecordable[] =
    L"安装记录无法保存该文件夹的名称，因为其中含有无法记录的字符。请选择其他文件夹。";

// How long a removal of the sample installation may take on a loaded machine.
inline constexpr DWORD kRemovalTimeout = 30000;

class InstallerTest : public ::testing::Test {
 public:
  // Clicks 开始安装 and waits until the installer is idle again (done or showing a message).
  void ClickInstall();
  [[nodiscard]] std::optional<driver::MessageBoxInfo> ErrorBox(DWORD timeout = 3000);
  // Answers a box with OK and waits for the installer to be idle.
  void Acknowledge(const driver::MessageBoxInfo& box);
  [[nodiscard]] LookState Look() const;
  [[nodiscard]] HWND Window() const { return window_; }

 protected:
  void SetUp() override;
  void TearDown() override;

  // Lays the installer out in `directory` (a Windows path) with the chosen extractor.
  void LayOut(const std::wstring& directory, Extractor extractor, int standInExitCode = 0);
  // Starts the laid-out installer and waits for its window.
  void Launch();
  // Starts it and answers nothing: for tests of the start-up question.
  void LaunchWithoutSettling();
  // Starts it over a recorded installation and answers the reinstall question with OK.
  void LaunchAndConfirmReinstall();

  [[nodiscard]] HWND ControlOf(ui::Control id) const;
  [[nodiscard]] std::wstring TextOf(ui::Control id) const { return driver::Text(ControlOf(id)); }
  void TypePath(const std::wstring& path);
  [[nodiscard]] std::wstring StandInCommandLine() const;
  [[nodiscard]] std::wstring OwnDirectory() const { return directory_; }

  std::wstring directory_;
  driver::Process installer_;
  HWND window_ = nullptr;
};

// brisel.lnk on the all-users desktop, and in the all-users Programs folder.
[[nodiscard]] std::wstring DesktopShortcut();
[[nodiscard]] std::wstring ProgramsShortcut();
// A shortcut's target, working folder and icon read through the shell's link object, joined by
// "|"; empty when it cannot be read.
[[nodiscard]] std::wstring ReadShortcut(const std::wstring& path);
// Writes a shortcut to `target` at `path`, as a user makes one.
void WriteShortcut(const std::wstring& path, const std::wstring& target);

// Registry value of the record in the 64-bit view, or nothing when missing.
[[nodiscard]] std::optional<RegistryData> RecordValue(const wchar_t* name);
// Registry value of the installation's Apps entry in the 64-bit view, or nothing when missing.
[[nodiscard]] std::optional<RegistryData> AppsEntryValue(const wchar_t* name);
[[nodiscard]] bool AppsEntryExists();
// A text value of the Apps entry read through the wide call, as Settings reads it.
[[nodiscard]] std::wstring AppsEntryText(const wchar_t* name);
void WriteRecordValue(const wchar_t* name, DWORD type, const std::vector<BYTE>& bytes);
[[nodiscard]] bool RecordKeyExists();

[[nodiscard]] std::optional<std::vector<BYTE>> FileBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::vector<BYTE>& bytes);
[[nodiscard]] bool Exists(const std::wstring& path);
using driver::RemoveTree;
[[nodiscard]] std::wstring AppDataPathRecord();
// The publisher's folder under the 32-bit Program Files folder, and the uninstaller in its
// product folder there.
[[nodiscard]] std::wstring PublisherFolder();
[[nodiscard]] std::wstring InstalledUninstaller();
// Number of running processes started from an exe of this name.
[[nodiscard]] int ProcessCount(const wchar_t* exeName);
// The text's bytes as a byte vector (no terminator).
[[nodiscard]] std::vector<BYTE> Bytes(const std::string& text);
// The data of a REG_SZ value as the ANSI writers store it: the text's bytes and one zero byte.
[[nodiscard]] std::vector<BYTE> RegSz(const std::string& text);
// The data of a REG_DWORD value: four bytes, little-endian.
[[nodiscard]] std::vector<BYTE> Dword(DWORD value);

}  // namespace e2e
