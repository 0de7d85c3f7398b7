// Walks through one installation with the real installer, as a user would, printing what each
// step shows (the window's look, the registry record, the installed files, path.dat and the
// shortcuts) and, on a real display, saving a screenshot of every look. Asked to, it then removes
// the installation again through its Apps entry, answering the uninstaller's closing message, and
// fails when anything of the installation is left.
#include <shlobj.h>
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "runtime/scoped_com.h"
#include "ui/controls.h"

namespace {

using ui::Control;

std::wstring g_shotDirectory;  // empty: no screenshots
constexpr wchar_t kUninstallSwitch[] = L"uninstall";
constexpr wchar_t kAppsEntryKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltrane";

void Say(const std::wstring& line) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
  std::printf("%s\n", utf8.c_str());
  std::fflush(stdout);
}

HWND ControlOf(HWND window, Control id) { return driver::Control(window, static_cast<int>(id)); }

std::wstring Look(HWND window) {
  const std::pair<Control, const wchar_t*> controls[] = {
      {Control::标签_安装, L"标签_安装"},         {Control::标签_正在解压, L"标签_正在解压"},
      {Control::标签_安装完成, L"标签_安装完成"}, {Control::按钮_安装, L"按钮_安装"},
      {Control::按钮_安装完成, L"按钮_安装完成"}, {Control::选择框1, L"选择框1"},
  };
  std::wstring visible;
  for (const auto& [id, name] : controls) {
    if (driver::IsVisible(ControlOf(window, id)))
      visible += std::wstring(visible.empty() ? L"" : L", ") + name;
  }
  if (driver::IsVisible(ControlOf(window, Control::选择框1))) {
    const bool checked =
        SendMessageW(ControlOf(window, Control::选择框1), BM_GETCHECK, 0, 0) == BST_CHECKED;
    visible += checked ? L" (checked)" : L" (cleared)";
  }
  return visible;
}

// Prints the brisel.lnk on the all-users desktop and in the all-users Programs folder with what
// each leads to; the number found.
int ShowShortcuts() {
  const runtime::ComApartment apartment;
  int found = 0;
  for (const int folderId : {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS}) {
    wchar_t folder[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, folder, folderId, FALSE);
    const std::wstring path = std::wstring(folder) + L"\\brisel.lnk";
    void* object = nullptr;
    CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, &object);
    const runtime::ScopedCom<IShellLinkW> link(static_cast<IShellLinkW*>(object));
    const auto file = runtime::QueryCom<IPersistFile>(link, IID_IPersistFile);
    wchar_t target[MAX_PATH] = {}, directory[MAX_PATH] = {};
    if (!file.Valid() || FAILED(file.Get()->Load(path.c_str(), STGM_READ))) {
      Say(L"  shortcut " + path + L": none");
      continue;
    }
    link.Get()->GetPath(target, MAX_PATH, nullptr, 0);
    link.Get()->GetWorkingDirectory(directory, MAX_PATH);
    Say(L"  shortcut " + path + L" -> " + target + L" (in " + directory + L")");
    ++found;
  }
  return found;
}

void Shot(HWND window, const wchar_t* name, DWORD settleMilliseconds = 300) {
  if (g_shotDirectory.empty()) return;
  Sleep(settleMilliseconds);
  const std::wstring path = g_shotDirectory + L"\\" + name + L".bmp";
  Say(std::wstring(L"  screenshot ") + name +
      (driver::SaveScreenshot(window, path) ? L"" : L" failed"));
}

// A REG_SZ value in the 64-bit view, or empty when missing.
std::wstring TextValue(const wchar_t* keyPath, const wchar_t* name) {
  wchar_t text[1024] = {};
  DWORD size = sizeof(text) - sizeof(wchar_t);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, keyPath, name, RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY,
                   nullptr, text, &size) != ERROR_SUCCESS) {
    return {};
  }
  return text;
}

void ShowRecord() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VELTRANE", 0, KEY_READ | KEY_WOW64_64KEY,
                    &key) != ERROR_SUCCESS) {
    Say(L"  registry: HKLM\\SOFTWARE\\VELTRANE missing");
    return;
  }
  for (const wchar_t* name : {L"briselPath", L"stratPath", L"rootPath", L"installer"}) {
    BYTE data[1024] = {};
    DWORD size = sizeof(data);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS) {
      Say(std::wstring(L"  registry ") + name + L": missing");
    } else if (type == REG_DWORD) {
      Say(std::wstring(L"  registry ") + name + L" REG_DWORD " +
          std::to_wstring(*reinterpret_cast<DWORD*>(data)));
    } else {
      Say(std::wstring(L"  registry ") + name + L" REG_SZ \"" + reinterpret_cast<wchar_t*>(data) +
          L"\"");
    }
  }
  RegCloseKey(key);
}

void ShowPathRecord() {
  wchar_t folder[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, FALSE)) return;
  const std::wstring path = std::wstring(folder) + L"\\path.dat";
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Say(L"  path.dat: missing");
    return;
  }
  char content[2048] = {};
  DWORD read = 0;
  const BOOL ok = ReadFile(file, content, sizeof(content) - 1, &read, nullptr);
  CloseHandle(file);
  if (!ok) return;
  Say(L"  " + path + L" (" + std::to_wstring(read) + L" bytes):");
  wchar_t wide[2048] = {};
  MultiByteToWideChar(936, 0, content, static_cast<int>(read), wide, 2047);
  std::wstring text(wide);
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = text.find(L"\r\n", start);
    Say(L"    | " +
        text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
    if (end == std::wstring::npos) break;
    start = end + 2;
  }
}

void ListFiles(const std::wstring& directory, int depth) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const bool isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    Say(std::wstring(4 + 2 * depth, L' ') + name + (isDirectory ? L"\\" : L""));
    if (isDirectory && depth < 3) ListFiles(directory + L"\\" + name, depth + 1);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// The id of a running process started from an exe of this name, or 0.
DWORD ProcessNamed(const wchar_t* exeName) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  DWORD id = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && id == 0;
       more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, exeName) == 0) id = entry.th32ProcessID;
  }
  CloseHandle(snapshot);
  return id;
}

// Closes the program the finish button opened, as its user would before removing it: a program
// that runs holds its files.
void CloseStartedProgram() {
  const DWORD id = ProcessNamed(L"startup.exe");
  if (id == 0) return;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
  if (HWND window = driver::FindShownWindow(id)) PostMessageW(window, WM_CLOSE, 0, 0);
  if (process != nullptr) {
    WaitForSingleObject(process, driver::kDefaultTimeout);
    CloseHandle(process);
  }
  Say(L"Closed the started brisel program");
}

// Starts the Apps entry's UninstallString as Settings does, answers its question with OK and
// prints what is left.
int Uninstall() {
  CloseStartedProgram();
  const std::wstring command = TextValue(kAppsEntryKey, L"UninstallString");
  Say(L"Apps entry: \"" + TextValue(kAppsEntryKey, L"DisplayName") + L"\" " +
      TextValue(kAppsEntryKey, L"DisplayVersion") + L", UninstallString " + command);
  auto uninstaller = driver::Start(command);
  if (command.empty() || !uninstaller) {
    Say(L"cannot start the uninstaller");
    return 1;
  }
  const auto question = driver::WaitForMessageBox(uninstaller->Id());
  if (!question) {
    Say(L"the uninstaller asked nothing");
    return 1;
  }
  Say(L"Uninstall question (" + question->caption + L"): \"" + question->text + L"\"");
  Shot(question->window, L"uninstall-question");
  Say(L"Pressing OK");
  driver::PressButton(*question, IDOK);
  driver::WaitUntil([&] { return !IsWindow(question->window); });
  // The closing message stands on the window that showed the removal; its copy in the temporary
  // folder, which removes uninstall.exe and the emptied root, starts once it is answered.
  if (const auto done = driver::WaitForMessageBox(uninstaller->Id())) {
    Say(L"Uninstaller's window \"" + driver::Text(GetWindow(done->window, GW_OWNER)) +
        L"\", closing message (" + done->caption + L"): \"" + done->text + L"\"");
    Shot(GetWindow(done->window, GW_OWNER), L"uninstall-window");
    Shot(done->window, L"uninstall-done", 0);
    Say(L"Pressing OK");
    driver::PressButton(*done, IDOK);
  } else {
    Say(L"the uninstaller showed no closing message");
  }
  const auto code = uninstaller->WaitForExit();
  Say(code ? L"The uninstaller ended with exit code " + std::to_wstring(*code)
           : std::wstring(L"The uninstaller did not end"));
  // The root goes with the program folder; its copy removes uninstall.exe and its folder under
  // Program Files afterwards.
  const bool rootGone = driver::WaitUntil(
      [] { return GetFileAttributesW(L"C:\\Quorvale") == INVALID_FILE_ATTRIBUTES; });
  ShowRecord();
  Say(std::wstring(L"  Apps entry: ") +
      (TextValue(kAppsEntryKey, L"UninstallString").empty() ? L"gone" : L"still there"));
  if (rootGone) {
    Say(L"  C:\\Quorvale: gone");
  } else {
    Say(L"  files left under C:\\Quorvale:");
    ListFiles(L"C:\\Quorvale", 0);
  }
  ShowPathRecord();
  const bool shortcutsGone = ShowShortcuts() == 0;
  const bool entryGone = TextValue(kAppsEntryKey, L"UninstallString").empty();
  Say(rootGone && shortcutsGone && entryGone ? L"Nothing of the installation is left"
                                             : L"Something of the installation is left");
  return code && *code == 0 && rootGone && shortcutsGone && entryGone ? 0 : 1;
}

// Starts the installer and waits for its window, answering the reinstall question with OK when
// an installation is recorded; null when there is no window.
HWND StartInstallerWindow(std::optional<driver::Process>& installer) {
  Say(L"Starting " + driver::DistDirectory() + L"\\VeltraneSetup.exe");
  installer = driver::StartInstaller();
  if (!installer) {
    Say(L"cannot start the installer");
    return nullptr;
  }
  HWND window = driver::WaitForWindow(installer->Id(), L"Veltrane installer");
  if (window == nullptr) {
    Say(L"no installer window");
    return nullptr;
  }
  if (auto question = driver::WaitForMessageBox(installer->Id(), 1500)) {
    Say(L"Reinstall question: \"" + question->text + L"\"");
    Shot(question->window, L"reinstall-question");
    driver::PressButton(*question, IDOK);
    // The old installation goes while the window answers: a click then would be dropped. Its bar
    // shows until it has gone.
    driver::WaitUntil([&] { return !driver::IsVisible(ControlOf(window, Control::进度条_解压)); });
  }
  driver::Settle(window);
  Say(L"Settings look: " + Look(window) + L"; path box \"" +
      driver::Text(ControlOf(window, Control::编辑框_路径)) + L"\"");
  Shot(window, L"look-settings");
  return window;
}

// Clicks 开始安装 and follows the looks to Done; false, after saying why, when it is not reached.
bool InstallThroughTheWindow(HWND window, const driver::Process& installer) {
  Say(L"Clicking 开始安装");
  driver::Click(ControlOf(window, Control::按钮_安装));
  const bool unpackingSeen = driver::WaitUntil(
      [&] { return driver::IsVisible(ControlOf(window, Control::标签_正在解压)); }, 10000);
  if (unpackingSeen) {
    const std::wstring look = Look(window);
    Shot(window, L"look-unpacking", 0);
    // A small payload unpacks fast: keep the picture only if it still shows the Unpacking look.
    if (Look(window) != look) DeleteFileW((g_shotDirectory + L"\\look-unpacking.bmp").c_str());
    Say(L"Unpacking look: " + look);
  }
  if (!driver::WaitUntil(
          [&] { return driver::IsVisible(ControlOf(window, Control::按钮_安装完成)); }, 120000)) {
    if (auto box = driver::WaitForMessageBox(installer.Id(), 1000)) {
      Say(L"Message: \"" + box->text + L"\"");
      Shot(box->window, L"failure-message");
    }
    Say(L"The installer did not reach its Done look: " + Look(window));
    return false;
  }
  return true;
}

// Prints the Done look and what the installation left: the record, the files and path.dat.
void ShowInstallation(HWND window) {
  driver::Settle(window);
  Say(L"Done look: " + Look(window) + L"; 编辑框1 \"" +
      driver::Text(ControlOf(window, Control::编辑框1)) + L"\"");
  Shot(window, L"look-done");
  ShowRecord();
  Say(L"  files under C:\\Quorvale:");
  ListFiles(L"C:\\Quorvale", 0);
  ShowPathRecord();
  ShowShortcuts();
}

// Clicks 安装完成并打开; true when the installer then ends with exit code 0.
bool FinishAndOpen(HWND window, driver::Process& installer) {
  Say(L"Clicking 安装完成并打开");
  driver::Click(ControlOf(window, Control::按钮_安装完成));
  // Where the desktop's shell does not answer (Wine's explorer on a loaded machine can fail), the
  // installer, which runs elevated, starts nothing itself and asks the user to start brisel.
  bool asked = false;
  (void)driver::WaitUntil(
      [&] {
        if (installer.WaitForExit(0)) return true;
        if (auto box = driver::WaitForMessageBox(installer.Id(), 0)) {
          Say(L"Message: \"" + box->text + L"\"");
          driver::PressButton(*box, IDOK);
          asked = true;
        }
        return asked;
      },
      20000);
  const auto code = installer.WaitForExit(15000);
  Say(code ? L"The installer ended with exit code " + std::to_wstring(*code)
           : std::wstring(L"The installer did not end"));
  return code && *code == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1) g_shotDirectory = argv[1];
  std::optional<driver::Process> installer;
  HWND window = StartInstallerWindow(installer);
  if (window == nullptr || !InstallThroughTheWindow(window, *installer)) return 1;
  ShowInstallation(window);
  if (!FinishAndOpen(window, *installer)) return 1;
  if (argc > 2 && std::wstring(argv[2]) == kUninstallSwitch) {
    Say(L"");
    Say(L"Removing the installation through its Apps entry");
    return Uninstall();
  }
  return 0;
}
