#include "app/shortcuts.h"

#include <windows.h>
// After windows.h, which they build on.
#include <shlobj.h>

#include <array>
#include <cstdint>
#include <optional>

#include "app/install_texts.h"
#include "app/shortcuts_for_testing.h"
#include "fs/system_library.h"
#include "runtime/files.h"
#include "runtime/gbk.h"
#include "runtime/log_format.h"
#include "runtime/long_path.h"
#include "runtime/run_log.h"
#include "runtime/scoped_com.h"

namespace app {

namespace {

constexpr wchar_t kShortcutName[] = L"\\brisel.lnk";
constexpr char kDescription[] = "启动 brisel";
constexpr int kIconIndex = 0;  // the start program's first icon
// The all-users desktop (FOLDERID_PublicDesktop) and Programs folder (FOLDERID_CommonPrograms),
// by the ids that name them on every Windows since Vista and before.
constexpr int kDesktopFolder = CSIDL_COMMON_DESKTOPDIRECTORY;
constexpr int kProgramsFolder = CSIDL_COMMON_PROGRAMS;
// Each folder with the name the user knows it by (GBK), for a message when the system names none.
struct ShortcutFolder {
  int id;
  const char* name;
};
constexpr std::array kFolders = {ShortcutFolder{kDesktopFolder, "公用桌面"},
                                 ShortcutFolder{kProgramsFolder, "「开始」菜单\\程序"}};
// Room for a shortcut's target: a path up to the extended length Windows allows.
constexpr DWORD kTargetUnits = 32768;

// brisel.lnk in the special folder as `lookup` names it; empty when it names none, so that
// nothing is ever read, written or deleted in the current directory instead.
std::wstring ShortcutPath(int folderId, FolderLookup lookup = &fs::SpecialFolderPathBound) {
  wchar_t folder[MAX_PATH] = {};
  if (!lookup(folder, folderId) || folder[0] == L'\0') return {};
  return folder + std::wstring(kShortcutName);
}

// The program folder of the installation in `root`, as a full path.
std::wstring ProgramFolder(std::wstring_view root) {
  return runtime::FullPath(DeriveInstallTexts(root).oldFolder);
}

// Whether `target` lies inside `folder` (a full path), compared without regard to case as the file
// system names files.
bool LiesInside(const std::wstring& target, const std::wstring& folder) {
  const std::wstring full = runtime::FullPath(target);
  if (folder.empty() || full.size() <= folder.size() || full[folder.size()] != L'\\') return false;
  return CompareStringOrdinal(full.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                              static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

// A new shell link object; null when the shell offers none.
runtime::ScopedCom<IShellLinkW> NewShellLink() {
  void* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              &link))) {
    return {};
  }
  return runtime::ScopedCom<IShellLinkW>(static_cast<IShellLinkW*>(link));
}

// The Win32 error code a COM result carries, or the result itself when it carries none.
unsigned long ErrorCodeOf(HRESULT result) {
  if (SUCCEEDED(result)) return ERROR_SUCCESS;
  if (HRESULT_FACILITY(result) == FACILITY_WIN32) return HRESULT_CODE(result);
  return static_cast<unsigned long>(result);
}

// A .lnk file's bytes, or the COM result that stopped them.
struct LinkBytes {
  HRESULT result;
  runtime::Bytes bytes;
};

// The serialised shell link to `target`, working in `folder`: the bytes IPersistFile::Save would
// write, without what that call does besides (Wine starts its menu builder for each link saved so
// and waits for it, 5 to 9 ms a shortcut). Nothing in them depends on where the file goes.
LinkBytes SerialisedLink(const std::wstring& target, const std::wstring& folder) {
  const runtime::ScopedCom<IShellLinkW> link = NewShellLink();
  if (!link.Valid()) return {REGDB_E_CLASSNOTREG, {}};
  const std::wstring description = runtime::GbkToWide(kDescription);
  HRESULT result = link.Get()->SetPath(target.c_str());
  if (SUCCEEDED(result)) result = link.Get()->SetWorkingDirectory(folder.c_str());
  if (SUCCEEDED(result)) result = link.Get()->SetIconLocation(target.c_str(), kIconIndex);
  if (SUCCEEDED(result)) result = link.Get()->SetDescription(description.c_str());
  const auto persist = runtime::QueryCom<IPersistStream>(link, IID_IPersistStream);
  if (SUCCEEDED(result) && !persist.Valid()) result = E_NOINTERFACE;
  IStream* opened = nullptr;
  if (SUCCEEDED(result)) result = CreateStreamOnHGlobal(nullptr, TRUE, &opened);
  if (FAILED(result)) return {result, {}};
  const runtime::ScopedCom<IStream> stream(opened);
  HGLOBAL memory = nullptr;
  STATSTG written{};
  result = persist.Get()->Save(stream.Get(), TRUE);
  if (SUCCEEDED(result)) result = GetHGlobalFromStream(stream.Get(), &memory);
  if (SUCCEEDED(result)) result = stream.Get()->Stat(&written, STATFLAG_NONAME);
  if (FAILED(result)) return {result, {}};
  const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(memory));
  if (bytes == nullptr) return {HRESULT_FROM_WIN32(GetLastError()), {}};
  LinkBytes serialised{
      S_OK, runtime::Bytes(bytes, bytes + static_cast<std::size_t>(written.cbSize.QuadPart))};
  GlobalUnlock(memory);
  return serialised;
}

// The target of the shortcut file at `path`; empty when there is none or it cannot be read.
std::wstring ShortcutTarget(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {};
  }
  const runtime::ScopedCom<IShellLinkW> link = NewShellLink();
  const auto file = runtime::QueryCom<IPersistFile>(link, IID_IPersistFile);
  if (!file.Valid() || FAILED(file.Get()->Load(path.c_str(), STGM_READ))) return {};
  std::wstring target(kTargetUnits, L'\0');
  if (link.Get()->GetPath(target.data(), static_cast<int>(kTargetUnits), nullptr,
                          SLGP_UNCPRIORITY) != S_OK) {
    return {};
  }
  target.resize(target.find(L'\0'));
  return target;
}

}  // namespace

std::vector<ShortcutFailure> CreateShortcutsForTesting(std::wstring_view root, bool onDesktop,
                                                       FolderLookup lookup) {
  const runtime::ComApartment apartment;
  const std::wstring target = runtime::FullPath(DeriveInstallTexts(root).startProgramPath);
  const std::wstring folder = ProgramFolder(root);
  std::vector<ShortcutFailure> failures;
  // Both shortcuts are the same link: made once, at the first that has a place.
  std::optional<LinkBytes> link;
  for (const auto& [folderId, name] : kFolders) {
    if (folderId == kDesktopFolder && !onDesktop) continue;
    const std::wstring path = ShortcutPath(folderId, lookup);
    if (path.empty()) {
      runtime::Log(std::string("shortcut: the system names no folder ") + name);
      failures.push_back({runtime::GbkToWide(name) + kShortcutName, ERROR_PATH_NOT_FOUND});
      continue;
    }
    const runtime::LoggedStep step(L"shortcut " + path);
    if (!link) link = SerialisedLink(target, folder);
    unsigned long error = ErrorCodeOf(link->result);
    if (error == ERROR_SUCCESS && !runtime::WriteFile(path, {link->bytes})) error = GetLastError();
    step.End(error == ERROR_SUCCESS, error);
    if (error != ERROR_SUCCESS) {
      failures.push_back({path, error});
      continue;
    }
    // Explorer shows the new icon at once, without waiting for its next look at the folder.
    SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, path.c_str(), nullptr);
  }
  return failures;
}

std::vector<ShortcutFailure> CreateShortcuts(std::wstring_view root, bool onDesktop) {
  return CreateShortcutsForTesting(root, onDesktop, &fs::SpecialFolderPathBound);
}

std::string ShortcutFailedMessage(const ShortcutFailure& failure) {
  return "未能创建快捷方式：" + runtime::WideToGbk(failure.path) + "（系统错误 " +
         runtime::DecimalText(failure.error) + "）。";
}

bool HasDesktopShortcutInto(std::wstring_view root) {
  const runtime::ComApartment apartment;
  return LiesInside(ShortcutTarget(ShortcutPath(kDesktopFolder)), ProgramFolder(root));
}

void RemoveShortcutsInto(std::wstring_view root) {
  const runtime::ComApartment apartment;
  const std::wstring folder = ProgramFolder(root);
  for (const ShortcutFolder& shortcutFolder : kFolders) {
    const std::wstring path = ShortcutPath(shortcutFolder.id);
    if (path.empty() || !LiesInside(ShortcutTarget(path), folder)) continue;
    const runtime::LoggedStep step(L"shortcut removal " + path);
    const bool removed = DeleteFileW(path.c_str()) != FALSE;
    step.End(removed, removed ? ERROR_SUCCESS : GetLastError());
    if (removed) SHChangeNotify(SHCNE_DELETE, SHCNF_PATHW, path.c_str(), nullptr);
  }
}

}  // namespace app
