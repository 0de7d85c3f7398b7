#include "fs/tree_walk.h"

#include "fs/tree_guard.h"

namespace fs {

namespace {

using runtime::ApiFileHandle;
using runtime::FoundEntry;

// Listing a held directory and telling who it is; shared as kDirectoryShare, which keeps it in
// place.
constexpr DWORD kPinAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;
// Deleting an entry through its own handle, and taking a read-only attribute off it first. A
// directory opened so is refused while it is some program's current directory.
constexpr DWORD kDeleteAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
// A file opened without sharing is refused while anyone else has it open, and opened for writing
// while it is the image of a running exe or DLL.
constexpr DWORD kCheckFileAccess = kDeleteAccess | FILE_WRITE_DATA;

}  // namespace

bool TreeWalk::Stopped(const std::wstring& where, DWORD error) {
  if (first_.where.empty()) first_ = {error, where};
  return false;
}

bool TreeWalk::Left(const std::wstring& where, DWORD error) {
  // Someone else deleted it meanwhile: nothing stays.
  if (handles_.Gone(where)) return true;
  return Stopped(where, error);
}

DWORD TreeWalk::List(const std::wstring& directory, std::vector<FoundEntry>& entries) {
  runtime::FileEnumerator listing(directory + L"\\*", handles_.Api());
  FoundEntry entry;
  while (listing.Next(entry)) entries.push_back(std::move(entry));
  return listing.Failure();
}

bool TreeWalk::Check(const std::wstring& directory, Identity& identity, DWORD directoryShare) {
  DWORD attributes = 0;
  {
    const ApiFileHandle held = runtime::OpenAsItself(handles_.Api(), directory,
                                                     DELETE | FILE_READ_ATTRIBUTES, directoryShare);
    if (!held.Valid() || !handles_.Identify(held, identity, attributes)) {
      return Stopped(directory, GetLastError());
    }
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Stopped(directory, ERROR_DIRECTORY);
  // A link goes as a link: what it points to is not the tree's.
  if (IsDirectoryLink(attributes)) return true;
  std::vector<FoundEntry> entries;
  if (const DWORD error = List(directory, entries); error != 0) return Stopped(directory, error);
  for (const FoundEntry& entry : entries) {
    const std::wstring path = directory + L'\\' + entry.name;
    Identity inner;
    switch (ActionForEntry(entry.name, entry.attributes)) {
      case TreeEntryAction::kSkip:
        break;
      case TreeEntryAction::kDescend:
      case TreeEntryAction::kRemoveLink:
        if (!Check(path, inner, directoryShare)) return false;
        break;
      case TreeEntryAction::kDeleteFile:
        if (!CheckFile(path, entry.attributes)) return false;
        break;
    }
  }
  return true;
}

bool TreeWalk::CheckFile(const std::wstring& file, DWORD attributes) {
  const runtime::FileApi& api = handles_.Api();
  // A read-only file cannot be opened for writing, the open that tells a running image: it loses
  // the attribute for the check and gets it back at once.
  const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly && !api.setFileAttributes(file.c_str(), WithoutReadOnly(attributes))) {
    return Stopped(file, GetLastError());
  }
  DWORD error = 0;
  {
    const ApiFileHandle held = runtime::OpenAsItself(api, file, kCheckFileAccess, kNoSharing);
    if (!held.Valid()) error = GetLastError();
  }
  if (readOnly && !api.setFileAttributes(file.c_str(), attributes) && error == 0) {
    error = GetLastError();
  }
  if (error != 0) return Stopped(file, error);
  if (progress_ != nullptr) {
    (counted_ ? progress_->done : progress_->total).fetch_add(1, std::memory_order_relaxed);
  }
  return true;
}

bool TreeWalk::Pin(const std::wstring& directory, ApiFileHandle& pin, Identity& identity,
                   DWORD& attributes) {
  pin = runtime::OpenAsItself(handles_.Api(), directory, kPinAccess, kDirectoryShare);
  return pin.Valid() && handles_.Identify(pin, identity, attributes);
}

bool TreeWalk::Remove(const std::wstring& directory, const Identity* expected) {
  ApiFileHandle none;
  return RemoveBelow(directory, none, expected);
}

bool TreeWalk::RemoveBelow(const std::wstring& directory, ApiFileHandle& parent,
                           const Identity* expected) {
  ApiFileHandle pin;
  Identity identity;
  DWORD attributes = 0;
  const bool pinned = Pin(directory, pin, identity, attributes);
  const DWORD error = GetLastError();
  parent.Reset();
  if (!pinned) return Stopped(directory, error);
  if ((expected != nullptr && identity != *expected) ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Stopped(directory, kReplacedMeanwhile);
  }
  bool emptied = true;
  if (!IsDirectoryLink(attributes)) {
    if (entered_ != nullptr) entered_(directory);
    std::vector<FoundEntry> entries;
    if (const DWORD failure = List(directory, entries); failure != 0) {
      return Stopped(directory, failure);
    }
    std::vector<const FoundEntry*> directories;
    for (const FoundEntry& entry : entries) {
      switch (ActionForEntry(entry.name, entry.attributes)) {
        case TreeEntryAction::kSkip:
          break;
        case TreeEntryAction::kDescend:
        case TreeEntryAction::kRemoveLink:
          directories.push_back(&entry);
          break;
        case TreeEntryAction::kDeleteFile:
          emptied = RemoveFile(directory + L'\\' + entry.name, entry.attributes) && emptied;
          break;
      }
    }
    for (const FoundEntry* entry : directories) {
      // Held again before the next level is opened through it, and still itself.
      if (!pin.Valid()) {
        Identity again;
        DWORD ignored = 0;
        if (!Pin(directory, pin, again, ignored)) return Stopped(directory, GetLastError());
        if (again != identity) return Stopped(directory, kReplacedMeanwhile);
      }
      emptied = RemoveBelow(directory + L'\\' + entry->name, pin, nullptr) && emptied;
    }
  }
  pin.Reset();
  // What stayed below keeps it.
  if (!emptied) return Left(directory, ERROR_DIR_NOT_EMPTY);
  return RemoveItself(directory, identity);
}

bool TreeWalk::RemoveFile(const std::wstring& file, DWORD attributes) {
  const bool removed = budget_.Persist(file, [&] {
    const ApiFileHandle held =
        runtime::OpenAsItself(handles_.Api(), file, kDeleteAccess, kNoSharing);
    // Nobody else has it open, so closing the handle deletes it.
    return held.Valid() && handles_.Mark(held, attributes);
  });
  if (!removed) return Left(file, GetLastError());
  if (progress_ != nullptr) progress_->done.fetch_add(1, std::memory_order_relaxed);
  return true;
}

bool TreeWalk::RemoveItself(const std::wstring& directory, const Identity& identity) {
  if (budget_.Persist(directory, [&] { return DeleteEmptied(directory, identity); })) return true;
  return Left(directory, GetLastError());
}

bool TreeWalk::DeleteEmptied(const std::wstring& directory, const Identity& identity) {
  {
    const ApiFileHandle held =
        runtime::OpenAsItself(handles_.Api(), directory, kDeleteAccess, kDirectoryShare);
    Identity found;
    DWORD attributes = 0;
    if (!held.Valid() || !handles_.Identify(held, found, attributes)) return false;
    if (found != identity) {
      SetLastError(kReplacedMeanwhile);
      return false;
    }
    // Files below that someone still holds (with delete sharing) keep it from being empty a while.
    if (!handles_.Mark(held, attributes)) return false;
  }
  // A deleted directory goes when the last handle on it closes, and its parent empties only then:
  // without POSIX semantics an Explorer window or an indexer that has it open keeps it pending.
  if (handles_.Gone(directory)) return true;
  SetLastError(ERROR_DELETE_PENDING);
  return false;
}

std::uint64_t TreeWalk::Size(const std::wstring& directory) {
  std::vector<FoundEntry> entries;
  (void)List(directory, entries);  // what could be listed counts
  std::uint64_t size = 0;
  for (const FoundEntry& entry : entries) {
    // The removal's own judgement: what it would delete as a file is what the tree holds.
    switch (ActionForEntry(entry.name, entry.attributes)) {
      case TreeEntryAction::kSkip:
      case TreeEntryAction::kRemoveLink:
        break;
      case TreeEntryAction::kDescend:
        size += Size(directory + L'\\' + entry.name);
        break;
      case TreeEntryAction::kDeleteFile:
        size += entry.size;
        break;
    }
  }
  return size;
}

}  // namespace fs
