#include "e2e/installer_fixture.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include "runtime/scoped_com.h"
#include "runtime/scoped_handle.h"

namespace e2e {

namespace {

constexpr wchar_t kRecordKey[] = L"SOFTWARE\\VELTRANE";
constexpr wchar_t kAppsEntryKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltrane";

std::wstring BuildDirectory() {
  wchar_t self[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, length);
  return path.substr(0, path.find_last_of(L'\\'));
}

void DeleteRecordAndAppsEntry() {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, view, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kAppsEntryKey, view, 0);
  }
}

bool KeyExists(const wchar_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_64KEY, &key) != 0) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// A value of the key in the 64-bit view, read with the ANSI call as the installer writes it.
std::optional<RegistryData> ValueOf(const wchar_t* path, const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_64KEY, &key) != 0) {
    return std::nullopt;
  }
  RegistryData data;
  DWORD size = 0;
  LONG result = RegQueryValueExA(key, std::string(name, name + wcslen(name)).c_str(), nullptr,
                                 &data.type, nullptr, &size);
  if (result == 0) {
    data.bytes.resize(size);
    result = RegQueryValueExA(key, std::string(name, name + wcslen(name)).c_str(), nullptr,
                              &data.type, data.bytes.data(), &size);
    data.bytes.resize(size);
  }
  RegCloseKey(key);
  if (result != 0) return std::nullopt;
  return data;
}

// Calls `visit` with the id of every process started from an exe of this name.
template <typename Visit>
void ForEachProcessNamed(const wchar_t* exeName, Visit visit) {
  const runtime::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.Valid()) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (_wcsicmp(entry.szExeFile, exeName) == 0) visit(entry.th32ProcessID);
  }
}

// Ends every process started from an exe of this name (the installed startup.exe, say), so that
// nothing a test opened outlives it.
void EndProcessesNamed(const wchar_t* exeName) {
  ForEachProcessNamed(exeName, [](DWORD id) {
    const runtime::ScopedHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    if (!process.Valid()) return;
    TerminateProcess(process.Get(), 0);
    WaitForSingleObject(process.Get(), 5000);
  });
}

// brisel.lnk in a special folder.
std::wstring ShortcutIn(int folder) {
  wchar_t path[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, path, folder, FALSE);
  return path + std::wstring(L"\\brisel.lnk");
}

// A shell link object, and its file interface.
struct ShellLink {
  runtime::ComApartment apartment;
  runtime::ScopedCom<IShellLinkW> link;
  runtime::ScopedCom<IPersistFile> file;
  ShellLink() {
    void* object = nullptr;
    (void)CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                           &object);
    link.Reset(static_cast<IShellLinkW*>(object));
    file = runtime::QueryCom<IPersistFile>(link, IID_IPersistFile);
  }
};

}  // namespace

std::wstring DesktopShortcut() { return ShortcutIn(CSIDL_COMMON_DESKTOPDIRECTORY); }

std::wstring ProgramsShortcut() { return ShortcutIn(CSIDL_COMMON_PROGRAMS); }

std::wstring ReadShortcut(const std::wstring& path) {
  const ShellLink shortcut;
  wchar_t target[MAX_PATH] = {}, folder[MAX_PATH] = {}, icon[MAX_PATH] = {};
  int index = 0;
  if (!shortcut.file.Valid() || FAILED(shortcut.file.Get()->Load(path.c_str(), STGM_READ)))
    return {};
  shortcut.link.Get()->GetPath(target, MAX_PATH, nullptr, 0);
  shortcut.link.Get()->GetWorkingDirectory(folder, MAX_PATH);
  shortcut.link.Get()->GetIconLocation(icon, MAX_PATH, &index);
  return std::wstring(target) + L"|" + folder + L"|" + icon;
}

void WriteShortcut(const std::wstring& path, const std::wstring& target) {
  const ShellLink shortcut;
  ASSERT_TRUE(shortcut.file.Valid() && SUCCEEDED(shortcut.link.Get()->SetPath(target.c_str())) &&
              SUCCEEDED(shortcut.file.Get()->Save(path.c_str(), TRUE)));
}

void InstallerTest::SetUp() {
  DeleteRecordAndAppsEntry();
  for (const std::wstring& shortcut : {DesktopShortcut(), ProgramsShortcut()}) RemoveTree(shortcut);
  RemoveTree(L"C:\\Quorvale");
  RemoveTree(L"D:\\Apps");
  RemoveTree(L"D:\\Quorvale");
  DeleteFileW(AppDataPathRecord().c_str());
  RemoveTree(PublisherFolder());
}

void InstallerTest::TearDown() {
  installer_ = driver::Process();
  EndProcessesNamed(L"startup.exe");
  EndProcessesNamed(L"brisel.exe");
  if (!directory_.empty()) RemoveTree(directory_);
  DeleteRecordAndAppsEntry();
}

void InstallerTest::LayOut(const std::wstring& directory, Extractor extractor,
                           int standInExitCode) {
  directory_ = directory;
  RemoveTree(directory);
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, (directory + L"\\lib").c_str(), nullptr), ERROR_SUCCESS);
  const std::wstring dist = extractor == Extractor::StandIn ? BuildDirectory() + L"\\standin-dist"
                                                            : driver::DistDirectory();
  ASSERT_TRUE(CopyFileW((dist + L"\\VeltraneSetup.exe").c_str(),
                        (directory + L"\\VeltraneSetup.exe").c_str(), FALSE));
  const std::wstring extractorPath = directory + L"\\lib\\7z.exe";
  switch (extractor) {
    case Extractor::Real:
    case Extractor::StandIn:
      ASSERT_TRUE(CopyFileW((dist + L"\\lib\\7z.exe").c_str(), extractorPath.c_str(), FALSE));
      break;
    case Extractor::Replaced:
      ASSERT_TRUE(CopyFileW((BuildDirectory() + L"\\standin_extractor.exe").c_str(),
                            extractorPath.c_str(), FALSE));
      break;
    case Extractor::Missing:
      break;
  }
  if (extractor == Extractor::StandIn || extractor == Extractor::Replaced) {
    WriteBytes(directory + L"\\lib\\exitcode.txt", Bytes(std::to_string(standInExitCode)));
  }
}

void InstallerTest::LaunchWithoutSettling() {
  auto started = driver::Start(L"\"" + directory_ + L"\\VeltraneSetup.exe\"", directory_);
  ASSERT_TRUE(started);
  installer_ = std::move(*started);
  window_ = driver::WaitForWindow(installer_.Id(), L"Veltrane installer");
  ASSERT_NE(window_, nullptr);
}

void InstallerTest::LaunchAndConfirmReinstall() {
  ASSERT_NO_FATAL_FAILURE(LaunchWithoutSettling());
  const auto question = ErrorBox(10000);
  ASSERT_TRUE(question);
  Acknowledge(*question);
  // The window answers while the old folder goes on a worker, so an answer says nothing of where
  // the removal stands, and the bar may not show yet right after OK. The record is reset once the
  // folder and the shortcuts have gone, unless a box asks about the folder first; the root goes
  // after the reset, and the window answers again once it has.
  ASSERT_TRUE(driver::WaitUntil(
      [&] {
        const auto installed = RecordValue(L"installer");
        return (!driver::IsVisible(ControlOf(ui::Control::进度条_解压)) &&
                (!installed || installed->bytes != Dword(1))) ||
               ErrorBox(0);
      },
      kRemovalTimeout));
  ASSERT_TRUE(driver::Settle(window_));
}

void InstallerTest::Launch() {
  LaunchWithoutSettling();
  ASSERT_TRUE(driver::Settle(window_));
}

HWND InstallerTest::ControlOf(ui::Control id) const {
  return driver::Control(window_, static_cast<int>(id));
}

LookState InstallerTest::Look() const {
  using ui::Control;
  return LookState{driver::IsVisible(ControlOf(Control::标签_安装)),
                   driver::IsVisible(ControlOf(Control::标签_正在解压)),
                   driver::IsVisible(ControlOf(Control::标签_安装完成)),
                   driver::IsVisible(ControlOf(Control::按钮_安装)),
                   driver::IsVisible(ControlOf(Control::按钮_安装完成)),
                   driver::IsVisible(ControlOf(Control::选择框1))};
}

void InstallerTest::TypePath(const std::wstring& path) {
  SendMessageW(ControlOf(ui::Control::编辑框_路径), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(path.c_str()));
}

void InstallerTest::ClickInstall() {
  ASSERT_TRUE(driver::ClickAndWait(ControlOf(ui::Control::按钮_安装), installer_.Id(), 120000));
}

std::optional<driver::MessageBoxInfo> InstallerTest::ErrorBox(DWORD timeout) {
  return driver::WaitForMessageBox(installer_.Id(), timeout);
}

void InstallerTest::Acknowledge(const driver::MessageBoxInfo& box) {
  driver::PressButton(box, IDOK);
  ASSERT_TRUE(driver::WaitUntil([&] { return !IsWindow(box.window); }));
  ASSERT_TRUE(driver::Settle(window_));
}

std::wstring InstallerTest::StandInCommandLine() const {
  const auto bytes = FileBytes(directory_ + L"\\lib\\commandline.txt");
  if (!bytes) return {};
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes->data()),
                      bytes->size() / sizeof(wchar_t));
}

std::optional<RegistryData> RecordValue(const wchar_t* name) { return ValueOf(kRecordKey, name); }

std::optional<RegistryData> AppsEntryValue(const wchar_t* name) {
  return ValueOf(kAppsEntryKey, name);
}

std::wstring AppsEntryText(const wchar_t* name) {
  wchar_t text[MAX_PATH] = {};
  DWORD size = sizeof text;
  RegGetValueW(HKEY_LOCAL_MACHINE, kAppsEntryKey, name, RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY,
               nullptr, text, &size);
  return text;
}

void WriteRecordValue(const wchar_t* name, DWORD type, const std::vector<BYTE>& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, 0, nullptr, 0,
                            KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr),
            0);
  // The ANSI call, as the installer reads the record: the bytes are stored as they are.
  EXPECT_EQ(RegSetValueExA(key, std::string(name, name + wcslen(name)).c_str(), 0, type,
                           bytes.data(), static_cast<DWORD>(bytes.size())),
            0);
  RegCloseKey(key);
}

bool RecordKeyExists() { return KeyExists(kRecordKey); }

bool AppsEntryExists() { return KeyExists(kAppsEntryKey); }

std::optional<std::vector<BYTE>> FileBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<BYTE> bytes(GetFileSize(file, nullptr));
  DWORD read = 0;
  const BOOL ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  if (!ok) return std::nullopt;
  bytes.resize(read);
  return bytes;
}

void WriteBytes(const std::wstring& path, const std::vector<BYTE>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  CloseHandle(file);
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int ProcessCount(const wchar_t* exeName) {
  int count = 0;
  ForEachProcessNamed(exeName, [&count](DWORD) { ++count; });
  return count;
}

std::wstring PublisherFolder() {
  wchar_t folder[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILESX86, nullptr, SHGFP_TYPE_CURRENT, folder);
  return std::wstring(folder) + L"\\Veltrane";
}

std::wstring InstalledUninstaller() { return PublisherFolder() + L"\\brisel\\uninstall.exe"; }

std::wstring AppDataPathRecord() {
  wchar_t folder[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, FALSE);
  return std::wstring(folder) + L"\\path.dat";
}

std::vector<BYTE> Bytes(const std::string& text) {
  return std::vector<BYTE>(text.begin(), text.end());
}

std::vector<BYTE> RegSz(const std::string& text) {
  std::vector<BYTE> bytes = Bytes(text);
  bytes.push_back(0);
  return bytes;
}

std::vector<BYTE> Dword(DWORD value) {
  return {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
          static_cast<BYTE>(value >> 24)};
}

}  // namespace e2e
