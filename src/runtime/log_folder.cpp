#include "runtime/log_folder.h"

#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <winternl.h>

#include <array>
#include <climits>

#include "runtime/bound_function.h"
#include "runtime/file_find.h"
#include "runtime/run_log_for_testing.h"

namespace runtime {

namespace {

// Listing, adding files, reading its attributes and its owner. No DELETE, and others may not
// delete it either: while the handle lives, the folder can be neither renamed nor replaced.
constexpr DWORD kFolderAccess =
    FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL;
constexpr DWORD kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
// Others may read a log while its run goes on, but not delete it: the rotation of a run started
// meanwhile leaves it alone.
constexpr ULONG kLogShare = FILE_SHARE_READ;
// Opened as itself, whatever it is, so that its attributes tell a link from a file.
constexpr ULONG kEntryOptions =
    FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT;
// NtCreateFile's dispositions: only a new file, or only one that exists.
constexpr ULONG kCreateNew = 2, kOpenExisting = 1;
constexpr std::size_t kListingBytes = 4096;

using NtCreateFileFunction = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES,
                                              PIO_STATUS_BLOCK, PLARGE_INTEGER, ULONG, ULONG, ULONG,
                                              ULONG, PVOID, ULONG);

// ntdll's NtCreateFile, the one call that opens a name relative to a folder's handle; bound by
// name like the other ntdll calls.
NtCreateFileFunction NtCreateFileBound() {
  static const auto function =
      BindFunction<NtCreateFileFunction>(GetModuleHandleW(L"ntdll.dll"), "NtCreateFile");
  return function;
}

// The entry `name` of the folder `folder`, opened through the folder's handle with `access`;
// invalid when it cannot be.
ScopedHandle OpenInFolder(HANDLE folder, std::wstring_view name, ACCESS_MASK access,
                          ULONG disposition, ULONG share) {
  const NtCreateFileFunction create = NtCreateFileBound();
  if (create == nullptr || name.empty() || name.size() * sizeof(wchar_t) > USHRT_MAX) return {};
  std::wstring buffer(name);
  UNICODE_STRING unicodeName{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                             static_cast<USHORT>(name.size() * sizeof(wchar_t)), buffer.data()};
  OBJECT_ATTRIBUTES attributes{sizeof attributes,    folder,  &unicodeName,
                               OBJ_CASE_INSENSITIVE, nullptr, nullptr};
  IO_STATUS_BLOCK status{};
  HANDLE handle = nullptr;
  if (!NT_SUCCESS(create(&handle, access | SYNCHRONIZE, &attributes, &status, nullptr,
                         FILE_ATTRIBUTE_NORMAL, share, disposition, kEntryOptions, nullptr, 0))) {
    return {};
  }
  return ScopedHandle(handle);
}

// Room for a token's user: the TOKEN_USER and the SID it points to.
struct alignas(TOKEN_USER) TokenUserBuffer {
  std::array<BYTE, sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE> bytes;
};

// The SID of the user this process runs as, in `buffer`; null when it cannot be read.
PSID OwnUser(TokenUserBuffer& buffer) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  const ScopedHandle owned(token);
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenUser, buffer.bytes.data(), buffer.bytes.size(), &size)) {
    return nullptr;
  }
  return reinterpret_cast<TOKEN_USER*>(buffer.bytes.data())->User.Sid;
}

// Whether the open folder's owner is one the run may trust.
bool HasTrustedOwner(HANDLE folder) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                      nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const ScopedLocalMemory owned(descriptor);  // holds `owner`
  TokenUserBuffer user{};
  return IsTrustedLogFolderOwner(owner, OwnUser(user));
}

}  // namespace

bool IsUsableLogFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool IsTrustedLogFolderOwner(PSID owner, PSID user) {
  return owner != nullptr && IsValidSid(owner) &&
         ((user != nullptr && EqualSid(owner, user)) ||
          IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
}

LogFolder LogFolder::Open(const std::wstring& path) {
  CreateDirectoryW(path.c_str(), nullptr);
  LogFolder folder;
  folder.handle_.Reset(
      CreateFileW(path.c_str(), kFolderAccess, kFolderShare, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION information{};
  if (!folder.Valid() || !GetFileInformationByHandle(folder.handle_.Get(), &information) ||
      !IsUsableLogFolder(information.dwFileAttributes) || !HasTrustedOwner(folder.handle_.Get())) {
    folder.handle_.Reset();
  }
  return folder;
}

ScopedHandle LogFolder::CreateNewFile(std::wstring_view name) const {
  return OpenInFolder(handle_.Get(), name, GENERIC_WRITE, kCreateNew, kLogShare);
}

std::vector<std::wstring> LogFolder::FileNames() const {
  std::vector<std::wstring> names;
  alignas(LONGLONG) std::array<BYTE, kListingBytes> listing;
  for (auto kind = FileIdBothDirectoryRestartInfo;
       GetFileInformationByHandleEx(handle_.Get(), kind, listing.data(), listing.size());
       kind = FileIdBothDirectoryInfo) {
    for (BYTE* at = listing.data();;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
      if ((entry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        names.emplace_back(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      }
      if (entry->NextEntryOffset == 0) break;
      at += entry->NextEntryOffset;
    }
  }
  return names;
}

void LogFolder::DeletePlainFile(std::wstring_view name) const {
  const ScopedHandle entry =
      OpenInFolder(handle_.Get(), name, DELETE | FILE_READ_ATTRIBUTES, kOpenExisting,
                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  BY_HANDLE_FILE_INFORMATION information{};
  if (!entry.Valid() || !GetFileInformationByHandle(entry.Get(), &information) ||
      !IsPlainFileWithOneName(information.dwFileAttributes, information.nNumberOfLinks)) {
    return;
  }
  FILE_DISPOSITION_INFO disposition{TRUE};
  SetFileInformationByHandle(entry.Get(), FileDispositionInfo, &disposition, sizeof disposition);
}

}  // namespace runtime
