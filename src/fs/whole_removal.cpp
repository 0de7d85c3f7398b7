#include "fs/whole_removal.h"

#include <windows.h>

#include <string>
#include <vector>

#include "fs/removal_guard.h"
#include "fs/tree_guard.h"
#include "runtime/file_find.h"
#include "runtime/gbk.h"
#include "runtime/scoped_handle.h"

namespace fs {

namespace {

// One entry of the tree, held from the check until its removal.
struct HeldEntry {
  runtime::ScopedHandle handle;
  DWORD attributes = 0;
  bool directory = false;  // a directory or a link to one: removed after everything below it
};

// A directory is shared for reading and writing only, so that while it is held nobody renames it,
// swaps it for a link or makes it a current directory. It is held twice: for its listing, which a
// hold for deletion would refuse (Wine's listing does not share deletion), then for deletion, which
// a program whose current directory it is refuses.
constexpr DWORD kListingAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;
constexpr DWORD kDirectoryAccess = DELETE | FILE_READ_ATTRIBUTES;
constexpr DWORD kDirectoryShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

// A file is held without sharing, which fails while anyone else has it open, and for writing,
// which Windows refuses for the image of a running exe or DLL. A read-only file cannot be opened
// for writing: its deletion mark, refused for a running image as well, decides for it.
DWORD FileAccess(DWORD attributes) {
  constexpr DWORD kAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
  return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? kAccess : kAccess | FILE_WRITE_DATA;
}

// Opens the entry as itself: a link is not followed.
runtime::ScopedHandle Hold(const std::wstring& path, DWORD access, DWORD share) {
  return runtime::ScopedHandle(
      CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// What an open handle is; false when the handle is not valid or cannot be asked.
bool Identify(const runtime::ScopedHandle& handle, BY_HANDLE_FILE_INFORMATION& information) {
  return handle.Valid() && GetFileInformationByHandle(handle.Get(), &information);
}

// The entries of the directory at `path` (ending in a backslash), "." and ".." included; false
// when it cannot be listed.
bool List(const std::wstring& path, std::vector<runtime::FoundEntry>& entries) {
  runtime::FileEnumerator listing(path + L"*.*");
  runtime::FoundEntry entry;
  while (listing.NextAny(entry)) entries.push_back(std::move(entry));
  // The listing of a directory below a root holds "." at least.
  return !entries.empty();
}

// Holds the directory at `path` and, unless it is a link, everything below it, each directory
// before its entries; false when anything cannot be held or listed.
bool HoldTree(const std::wstring& path, std::vector<HeldEntry>& held) {
  BY_HANDLE_FILE_INFORMATION listed;
  std::vector<runtime::FoundEntry> entries;
  {
    const runtime::ScopedHandle listing = Hold(path, kListingAccess, kDirectoryShare);
    // The directory itself, once opened, decides what it is.
    if (!Identify(listing, listed) || (listed.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (!IsDirectoryLink(listed.dwFileAttributes) && !List(path + L'\\', entries))) {
      return false;
    }
  }
  BY_HANDLE_FILE_INFORMATION information;
  runtime::ScopedHandle directory = Hold(path, kDirectoryAccess, kDirectoryShare);
  // Still the directory that was listed, not one put in its place meanwhile.
  if (!Identify(directory, information) ||
      information.dwVolumeSerialNumber != listed.dwVolumeSerialNumber ||
      information.nFileIndexHigh != listed.nFileIndexHigh ||
      information.nFileIndexLow != listed.nFileIndexLow) {
    return false;
  }
  held.push_back({std::move(directory), information.dwFileAttributes, true});
  for (const runtime::FoundEntry& entry : entries) {
    const std::wstring full = path + L'\\' + entry.name;
    switch (ActionForEntry(entry.name, entry.attributes)) {
      case TreeEntryAction::kSkip:
        break;
      case TreeEntryAction::kDescend:
      case TreeEntryAction::kRemoveLink:
        if (!HoldTree(full, held)) return false;
        break;
      case TreeEntryAction::kDeleteFile:
        held.push_back({Hold(full, FileAccess(entry.attributes), 0), entry.attributes, false});
        if (!held.back().handle.Valid()) return false;
        break;
    }
  }
  return true;
}

bool SetAttributes(const HeldEntry& entry, DWORD attributes) {
  // Zero would leave the attributes as they are.
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(entry.handle.Get(), FileBasicInfo, &basic, sizeof basic) != 0;
}

bool MarkForDeletion(const HeldEntry& entry, bool deletion) {
  FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(deletion)};
  return SetFileInformationByHandle(entry.handle.Get(), FileDispositionInfo, &disposition,
                                    sizeof disposition) != 0;
}

// Marks a held file to go when its handle closes; a read-only one, which Windows will not delete,
// loses that attribute first. False, with the file as it was, when the mark is refused.
bool MarkFile(const HeldEntry& file) {
  const bool readOnly = (file.attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly && !SetAttributes(file, file.attributes & ~FILE_ATTRIBUTE_READONLY)) return false;
  if (MarkForDeletion(file, true)) return true;
  if (readOnly) (void)SetAttributes(file, file.attributes);
  return false;
}

// Takes the marks of the first `count` held files back, and their read-only attributes.
void UnmarkFiles(const std::vector<HeldEntry>& held, std::size_t count) {
  for (std::size_t index = 0; index < count; ++index) {
    if (held[index].directory) continue;
    (void)MarkForDeletion(held[index], false);
    if ((held[index].attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      (void)SetAttributes(held[index], held[index].attributes);
    }
  }
}

}  // namespace

RemovalReport RemoveTreeWhole(std::string_view path, runtime::Progress*) {
  std::wstring wide = runtime::GbkToWide(path);
  while (!wide.empty() && wide.back() == L'\\') wide.pop_back();
  if (wide.empty() || !MayRemoveTree(wide)) return {WholeRemoval::kRefused, 0, {}};
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return {error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? WholeRemoval::kRemoved
                                                                          : WholeRemoval::kInUse,
            0, {}};
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return {WholeRemoval::kRefused, 0, {}};

  std::vector<HeldEntry> held;
  if (!HoldTree(wide, held)) return {WholeRemoval::kInUse, 0, {}};
  for (std::size_t index = 0; index < held.size(); ++index) {
    if (held[index].directory || MarkFile(held[index])) continue;
    UnmarkFiles(held, index);
    return {WholeRemoval::kInUse, 0, {}};
  }
  // Closing a marked file deletes it. Every directory stands before its entries, so backwards
  // each one is empty by the time it is marked, unless an entry was made in it meanwhile.
  for (auto entry = held.rbegin(); entry != held.rend(); ++entry) {
    if (entry->directory) (void)MarkForDeletion(*entry, true);
    entry->handle.Reset();
  }
  return {WholeRemoval::kRemoved, 0, {}};
}

}  // namespace fs
