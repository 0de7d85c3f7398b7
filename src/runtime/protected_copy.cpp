#include "runtime/protected_copy.h"

#include <windows.h>

#include <optional>
#include <string>

#include "runtime/files.h"
#include "runtime/process.h"
#include "runtime/protected_folder.h"

namespace runtime {

namespace {

constexpr wchar_t kFolderPrefix[] = L"veltrane-";
constexpr wchar_t kTemporaryFolder[] = L"\\Temp\\";

// Writes the bytes into a new file at `path`: never into one that exists, whoever made it.
bool WriteNew(const std::wstring& path, const std::string& bytes) {
  const ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file.Valid() &&
         ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
         written == bytes.size();
}

}  // namespace

ProtectedCopy ProtectedCopy::Make(const std::wstring& source, const std::wstring& parent,
                                  std::wstring_view name) {
  ProtectedCopy copy;
  const std::optional<std::string> bytes = ReadWholeFile(source);
  const std::wstring folderName = RandomName(kFolderPrefix);
  if (parent.empty() || folderName.empty() || !bytes) return copy;
  copy.folder_ = parent + folderName;
  if (!CreateProtectedFolder(copy.folder_)) return ProtectedCopy();
  copy.path_ = copy.folder_ + L"\\" + std::wstring(name);
  if (WriteNew(copy.path_, *bytes)) {
    // Readable and executable by the loader, which shares reading and deletion only: held so, it
    // can be neither written nor deleted nor renamed, nor its folder, until it has started.
    copy.held_.Reset(CreateFileW(copy.path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  if (!copy.Valid()) copy.Discard();
  return copy;
}

ScopedHandle ProtectedCopy::Start(std::wstring_view arguments, HANDLE inherited,
                                  const std::wstring& directory) {
  ScopedHandle process =
      StartInheriting(L"\"" + path_ + L"\" " + std::wstring(arguments), inherited, directory);
  if (!process.Valid()) return process;
  held_.Reset();
  // The copy cannot delete its own exe, nor the folder that holds it.
  (void)DeleteAtRestart(path_, folder_);
  return process;
}

void ProtectedCopy::Discard() {
  held_.Reset();
  DeleteFileW(path_.c_str());
  RemoveDirectoryW(folder_.c_str());
}

std::wstring SystemTemporaryFolder() {
  wchar_t windows[MAX_PATH] = {};
  const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(windows, length) + kTemporaryFolder;
}

bool DeleteAtRestart(const std::wstring& file, const std::wstring& folder) {
  // Files before their folders: the system works through the list in order.
  const bool fileMarked = MoveFileExW(file.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
  return MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0 && fileMarked;
}

bool DeleteAtRestartUnderNewName(const std::wstring& file, const std::wstring& folder,
                                 std::wstring_view prefix) {
  const std::wstring name = RandomName(prefix);
  const std::wstring moved = folder + L"\\" + name;
  return !name.empty() && MoveFileExW(file.c_str(), moved.c_str(), 0) &&
         DeleteAtRestart(moved, folder);
}

}  // namespace runtime
