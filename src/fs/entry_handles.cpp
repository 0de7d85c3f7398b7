#include "fs/entry_handles.h"

#include <cstring>
#include <vector>

namespace fs {

namespace {

// Deleted as POSIX does: out of the namespace at once, read-only or not (Windows 10 1809 on).
constexpr DWORD kPosixDelete = FILE_DISPOSITION_FLAG_DELETE |
                               FILE_DISPOSITION_FLAG_POSIX_SEMANTICS |
                               FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE;

// The class of FILE_DISPOSITION_INFO_EX, as Microsoft documents it; mingw's header names it only
// for a target version it compares against a build number.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);

constexpr std::size_t kExtendedPrefixLength = 4;  // "\\?\"
constexpr std::wstring_view kNtPrefix = L"\\??\\";

// The answers of a volume or a Windows that lacks the POSIX mark (FAT, before 1809, Wine 8).
bool LacksPosixDelete(DWORD error) {
  return error == ERROR_INVALID_PARAMETER || error == ERROR_INVALID_FUNCTION ||
         error == ERROR_NOT_SUPPORTED;
}

}  // namespace

DWORD WithoutReadOnly(DWORD attributes) {
  const DWORD rest = attributes & ~FILE_ATTRIBUTE_READONLY;
  // Zero would leave the attributes as they are.
  return rest != 0 ? rest : FILE_ATTRIBUTE_NORMAL;
}

bool EntryHandles::Identify(const runtime::ApiFileHandle& handle, Identity& identity,
                            DWORD& attributes) const {
  BY_HANDLE_FILE_INFORMATION information;
  if (!api_.getFileInformation(handle.Get(), &information)) return false;
  identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh,
              information.nFileIndexLow};
  attributes = information.dwFileAttributes;
  return true;
}

bool EntryHandles::SetAttributes(const runtime::ApiFileHandle& handle, DWORD attributes) const {
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = attributes;
  return api_.setFileInformation(handle.Get(), FileBasicInfo, &basic, sizeof basic) != 0;
}

bool EntryHandles::Mark(const runtime::ApiFileHandle& handle, DWORD attributes) {
  if (posix_) {
    FILE_DISPOSITION_INFO_EX posix{kPosixDelete};
    if (api_.setFileInformation(handle.Get(), kFileDispositionInfoEx, &posix, sizeof posix)) {
      return true;
    }
    if (!LacksPosixDelete(GetLastError())) return false;
    posix_ = false;
  }
  const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly && !SetAttributes(handle, WithoutReadOnly(attributes))) return false;
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (api_.setFileInformation(handle.Get(), FileDispositionInfo, &disposition,
                              sizeof disposition)) {
    return true;
  }
  const DWORD error = GetLastError();
  if (readOnly) (void)SetAttributes(handle, attributes);
  SetLastError(error);
  return false;
}

bool EntryHandles::Move(const std::wstring& from, const Identity& identity, const std::wstring& to,
                        Identity& renamed, DWORD& error) const {
  const runtime::ApiFileHandle held = runtime::OpenAsItself(
      api_, from, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
  Identity found;
  DWORD attributes = 0;
  if (!held.Valid() || !Identify(held, found, attributes)) {
    error = GetLastError();
    return false;
  }
  if (found != identity) {
    error = kReplacedMeanwhile;
    return false;
  }
  // The call takes the target as a path of the native namespace: "\??\" where Win32 has "\\?\".
  const std::wstring target = std::wstring(kNtPrefix) + to.substr(kExtendedPrefixLength);
  const DWORD nameBytes = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = FALSE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = nameBytes;
  std::memcpy(rename->FileName, target.data(), nameBytes);
  if (!api_.setFileInformation(held.Get(), FileRenameInfo, rename,
                               static_cast<DWORD>(buffer.size()))) {
    error = GetLastError();
    return false;
  }
  // Asked of the handle that renamed it, which holds it without delete sharing, before anybody
  // else can rename or replace it. Every volume is asked so: FAT documents the change, exFAT and
  // shares without FILE_SUPPORTS_OPEN_BY_FILE_ID may do the same, and where IDs hold (NTFS) the
  // answer is the identity checked. Where it cannot be asked, the checked identity stands.
  if (!Identify(held, renamed, attributes)) renamed = identity;
  return true;
}

bool EntryHandles::Gone(const std::wstring& path) const {
  if (api_.getFileAttributes(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace fs
