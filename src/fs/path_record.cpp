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

std::string SpecialFolderPath(int csidl) {
  std::wstring folder(MAX_PATH, L'\0');
  if (!SpecialFolderPathBound(folder.data(), csidl)) return {};
  folder = CutAtNul(folder);
  if (folder.empty()) return {};
  if (folder.back() != L'\\') folder += L'\\';
  return runtime::WideToGbk(folder);
}

namespace {

// path.dat in the application-data folder, or in the current directory when that is unknown.
std::string PathRecordName() { return SpecialFolderPath(CSIDL_APPDATA) + "path.dat"; }

}  // namespace

bool WritePathRecord(std::string_view first, std::string_view second, std::string_view third) {
  const std::string name = PathRecordName();
  // Written beside the record first, so that a failed write never costs the record in place.
  const std::string pending = name + ".new";
  const std::string content = PathRecordContent(first, second, third);
  const runtime::ByteView bytes(reinterpret_cast<const std::uint8_t*>(content.data()),
                                content.size());
  if (!runtime::WriteFile(pending, {bytes})) {
    RemoveFile(pending);
    return false;
  }
  if (!MoveFileExW(runtime::GbkToWide(pending).c_str(), runtime::GbkToWide(name).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    RemoveFile(pending);
    return false;
  }
  return true;
}

bool RemovePathRecordOf(std::string_view root) {
  const std::wstring name = runtime::GbkToWide(PathRecordName());
  const std::optional<std::string> content = runtime::ReadWholeFile(name);
  return content && runtime::ToUpper(PathRecordRoot(*content)) == runtime::ToUpper(root) &&
         DeleteFileW(name.c_str()) != 0;
}

}  // namespace fs
