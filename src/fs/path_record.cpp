#include "fs/path_record.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <cstdint>
#include <optional>

#include "fs/files.h"
#include "fs/path_text.h"
#include "fs/system_library.h"
#include "runtime/files.h"
#include "runtime/gbk.h"
#include "runtime/scoped_handle.h"
#include "runtime/text.h"

namespace fs {

std::wstring SpecialFolderPath(int csidl) {
  std::wstring folder(MAX_PATH, L'\0');
  if (!SpecialFolderPathBound(folder.data(), csidl)) return {};
  folder = CutAtNul(folder);
  if (folder.empty()) return {};
  if (folder.back() != L'\\') folder += L'\\';
  return folder;
}

namespace {

// path.dat in the application-data folder, or in the current directory when that is unknown.
std::wstring PathRecordName() { return SpecialFolderPath(CSIDL_APPDATA) + L"path.dat"; }

}  // namespace

bool WritePathRecord(std::wstring_view first, std::wstring_view second, std::wstring_view third) {
  const std::wstring name = PathRecordName();
  // Written beside the record first, so that a failed write never costs the record in place.
  const std::wstring pending = name + L".new";
  const std::string content = PathRecordContent(
      runtime::WideToGbk(first), runtime::WideToGbk(second), runtime::WideToGbk(third));
  const runtime::ByteView bytes(reinterpret_cast<const std::uint8_t*>(content.data()),
                                content.size());
  if (!runtime::WriteFile(pending, {bytes})) {
    RemoveFile(pending);
    return false;
  }
  if (!MoveFileExW(pending.c_str(), name.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    RemoveFile(pending);
    return false;
  }
  return true;
}

bool RemovePathRecordOf(const std::wstring& root) {
  // A root GBK cannot hold is named by no record.
  const std::optional<std::string> gbkRoot = runtime::ExactGbk(root);
  const std::wstring name = PathRecordName();
  const std::optional<std::string> content = runtime::ReadWholeFile(name);
  return gbkRoot && content &&
         runtime::ToUpper(PathRecordRoot(*content)) == runtime::ToUpper(*gbkRoot) &&
         DeleteFileW(name.c_str()) != 0;
}

}  // namespace fs
