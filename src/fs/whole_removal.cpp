#include "fs/whole_removal.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "fs/removal_guard.h"
#include "fs/tree_guard.h"
#include "fs/whole_removal_for_testing.h"
#include "runtime/file_find.h"
#include "runtime/gbk.h"
#include "runtime/long_path.h"

namespace fs {

namespace {

using runtime::ApiFileHandle;
using runtime::FileApi;
using runtime::FoundEntry;

// The folder is moved aside to this name beside it before anything goes. The name is the
// installer's own: what an interrupted run left under it is removed as well.
constexpr std::wstring_view kAsideSuffix = L".veltrane-removal";

// A directory held while it is listed or while its files go shares reading and writing only:
// meanwhile nobody renames it or swaps it for a link, and on Windows, which refuses to rename a
// directory while anything below it is open, nobody renames the levels above it either.
constexpr DWORD kPinAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;
constexpr DWORD kDirectoryShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
// Deleting an entry through its own handle, and taking a read-only attribute off it first. A
// directory opened so is refused while it is some program's current directory.
constexpr DWORD kDeleteAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
// A file opened without sharing is refused while anyone else has it open, and opened for writing
// while it is the image of a running exe or DLL.
constexpr DWORD kCheckFileAccess = kDeleteAccess | FILE_WRITE_DATA;
constexpr DWORD kNoSharing = 0;

// A deleted directory goes when the last handle on it closes, and its parent empties only then:
// an Explorer window or an indexer that has it open keeps it pending for a moment.
constexpr DWORD kPendingPollMilliseconds = 100;
constexpr int kPendingPolls = 20;

// Reported when a directory met again by its path is no longer the one met before.
constexpr DWORD kReplacedMeanwhile = ERROR_FILE_INVALID;

constexpr std::size_t kExtendedPrefixLength = 4;  // "\\?\"
constexpr std::wstring_view kNtPrefix = L"\\??\\";

struct Identity {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
  bool operator==(const Identity&) const = default;
};

// Refusals that mean somebody holds the entry: an open without sharing, a lock, a running image.
// Running out of handles, descriptors or memory is not among them: closing brisel would not help.
bool HeldByAnother(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// The attribute word with the read-only mark taken off.
DWORD WithoutReadOnly(DWORD attributes) {
  const DWORD rest = attributes & ~FILE_ATTRIBUTE_READONLY;
  // Zero would leave the attributes as they are.
  return rest != 0 ? rest : FILE_ATTRIBUTE_NORMAL;
}

class Removal {
 public:
  Removal(const FileApi& api, runtime::Progress* progress, std::wstring folder)
      : api_(api), progress_(progress), folder_(std::move(folder)) {}

  // Checks the folder, moves it aside and removes it there; the report of how it ended.
  [[nodiscard]] RemovalReport Run();

 private:
  // Run's steps; false where they stopped, with the report filled in.
  [[nodiscard]] bool Steps();

  // Records where and why the removal stopped; false, for the caller to return.
  bool Stop(WholeRemoval result, DWORD error, const std::wstring& where);
  // Stop for a refused call: in use while nothing is removed yet, failed afterwards.
  bool Refused(const std::wstring& where, DWORD error);

  // Who and what the held entry is; false, both untouched, when it cannot be asked.
  [[nodiscard]] bool Identify(const ApiFileHandle& handle, Identity& identity, DWORD& attributes);
  // True when nothing is found at `path` any more (not even an entry pending deletion).
  [[nodiscard]] bool Gone(const std::wstring& path);
  // The entries of `directory` other than "." and "..", read whole, so that no search stays open
  // while they are worked on.
  [[nodiscard]] bool List(const std::wstring& directory, std::vector<FoundEntry>& entries);
  // Sets the held entry's attribute word; false when refused.
  [[nodiscard]] bool SetAttributes(const ApiFileHandle& handle, DWORD attributes);
  // Marks the held entry to go when its last handle closes; a read-only one, which Windows will
  // not delete, loses that attribute first and gets it back when the mark is refused.
  [[nodiscard]] bool Mark(const ApiFileHandle& handle, DWORD attributes);
  // Renames the directory at `from`, still the one of `identity`, to `to` through one handle held
  // on it; false with the Win32 error in `error`.
  [[nodiscard]] bool Move(const std::wstring& from, const Identity& identity,
                          const std::wstring& to, DWORD& error);

  // Opens every entry below `directory` as its removal will, closing each at once; counts the
  // files. `identity` receives the directory's own.
  [[nodiscard]] bool CheckTree(const std::wstring& directory, Identity& identity);
  // Opens the file as its removal will, unshared and for writing, and closes it; counts it found,
  // or done once the files are counted.
  [[nodiscard]] bool CheckFile(const std::wstring& file, DWORD attributes);
  // Removes `directory` and everything below it. `parent`, the level above held by the caller, is
  // let go once this one is held; `expected`, when given, is who the directory must be.
  [[nodiscard]] bool RemoveTree(const std::wstring& directory, ApiFileHandle& parent,
                                const Identity* expected);
  // Deletes the file through its own handle, held unshared; counts it done.
  [[nodiscard]] bool RemoveFile(const std::wstring& file, DWORD attributes);
  // Deletes the emptied directory, still the one of `identity`, and waits until it is gone.
  [[nodiscard]] bool RemoveItself(const std::wstring& directory, const Identity& identity);
  // Holds `directory` as itself for listing, shared as kDirectoryShare, and identifies it.
  [[nodiscard]] bool Pin(const std::wstring& directory, ApiFileHandle& pin, Identity& identity,
                         DWORD& attributes);

  const FileApi& api_;
  runtime::Progress* const progress_;
  const std::wstring folder_;
  bool removing_ = false;
  bool counted_ = false;  // the files are counted: a check counts them done from then on
  RemovalReport report_;
  std::wstring where_;
};

bool Removal::Stop(WholeRemoval result, DWORD error, const std::wstring& where) {
  report_.result = result;
  report_.error = error;
  where_ = where;
  return false;
}

bool Removal::Refused(const std::wstring& where, DWORD error) {
  return Stop(!removing_ && HeldByAnother(error) ? WholeRemoval::kInUse : WholeRemoval::kFailed,
              error, where);
}

bool Removal::Identify(const ApiFileHandle& handle, Identity& identity, DWORD& attributes) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!api_.getFileInformation(handle.Get(), &information)) return false;
  identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh,
              information.nFileIndexLow};
  attributes = information.dwFileAttributes;
  return true;
}

bool Removal::Gone(const std::wstring& path) {
  if (api_.getFileAttributes(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool Removal::List(const std::wstring& directory, std::vector<FoundEntry>& entries) {
  runtime::FileEnumerator listing(directory + L"\\*", api_);
  FoundEntry entry;
  while (listing.Next(entry)) entries.push_back(std::move(entry));
  return listing.Failure() == 0 || Refused(directory, listing.Failure());
}

bool Removal::SetAttributes(const ApiFileHandle& handle, DWORD attributes) {
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = attributes;
  return api_.setFileInformation(handle.Get(), FileBasicInfo, &basic, sizeof basic) != 0;
}

bool Removal::Mark(const ApiFileHandle& handle, DWORD attributes) {
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

bool Removal::Move(const std::wstring& from, const Identity& identity, const std::wstring& to,
                   DWORD& error) {
  const ApiFileHandle held =
      runtime::OpenAsItself(api_, from, DELETE | FILE_READ_ATTRIBUTES, kDirectoryShare);
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
  if (api_.setFileInformation(held.Get(), FileRenameInfo, rename,
                              static_cast<DWORD>(buffer.size()))) {
    return true;
  }
  error = GetLastError();
  return false;
}

bool Removal::CheckTree(const std::wstring& directory, Identity& identity) {
  DWORD attributes = 0;
  {
    const ApiFileHandle held =
        runtime::OpenAsItself(api_, directory, DELETE | FILE_READ_ATTRIBUTES, kDirectoryShare);
    if (!held.Valid() || !Identify(held, identity, attributes)) {
      return Refused(directory, GetLastError());
    }
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Refused(directory, ERROR_DIRECTORY);
  // A link goes as a link: what it points to is not the installation's.
  if (IsDirectoryLink(attributes)) return true;
  std::vector<FoundEntry> entries;
  if (!List(directory, entries)) return false;
  for (const FoundEntry& entry : entries) {
    const std::wstring path = directory + L'\\' + entry.name;
    Identity inner;
    switch (ActionForEntry(entry.name, entry.attributes)) {
      case TreeEntryAction::kSkip:
        break;
      case TreeEntryAction::kDescend:
      case TreeEntryAction::kRemoveLink:
        if (!CheckTree(path, inner)) return false;
        break;
      case TreeEntryAction::kDeleteFile:
        if (!CheckFile(path, entry.attributes)) return false;
        break;
    }
  }
  return true;
}

bool Removal::CheckFile(const std::wstring& file, DWORD attributes) {
  // A read-only file cannot be opened for writing, the open that tells a running image: it loses
  // the attribute for the check and gets it back at once.
  const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly && !api_.setFileAttributes(file.c_str(), WithoutReadOnly(attributes))) {
    return Refused(file, GetLastError());
  }
  DWORD error = 0;
  {
    const ApiFileHandle held = runtime::OpenAsItself(api_, file, kCheckFileAccess, kNoSharing);
    if (!held.Valid()) error = GetLastError();
  }
  if (readOnly && !api_.setFileAttributes(file.c_str(), attributes) && error == 0) {
    error = GetLastError();
  }
  if (error != 0) return Refused(file, error);
  if (progress_ != nullptr) {
    (counted_ ? progress_->done : progress_->total).fetch_add(1, std::memory_order_relaxed);
  }
  return true;
}

bool Removal::Pin(const std::wstring& directory, ApiFileHandle& pin, Identity& identity,
                  DWORD& attributes) {
  pin = runtime::OpenAsItself(api_, directory, kPinAccess, kDirectoryShare);
  return pin.Valid() && Identify(pin, identity, attributes);
}

bool Removal::RemoveTree(const std::wstring& directory, ApiFileHandle& parent,
                         const Identity* expected) {
  ApiFileHandle pin;
  Identity identity;
  DWORD attributes = 0;
  const bool pinned = Pin(directory, pin, identity, attributes);
  const DWORD error = GetLastError();
  parent.Reset();
  if (!pinned) return Refused(directory, error);
  if (expected != nullptr && identity != *expected) {
    return Refused(directory, kReplacedMeanwhile);
  }
  if (!IsDirectoryLink(attributes)) {
    std::vector<FoundEntry> entries;
    if (!List(directory, entries)) return false;
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
          if (!RemoveFile(directory + L'\\' + entry.name, entry.attributes)) return false;
          break;
      }
    }
    for (const FoundEntry* entry : directories) {
      // Held again before the next level is opened through it, and still itself.
      if (!pin.Valid()) {
        Identity again;
        DWORD ignored = 0;
        if (!Pin(directory, pin, again, ignored)) return Refused(directory, GetLastError());
        if (again != identity) return Refused(directory, kReplacedMeanwhile);
      }
      if (!RemoveTree(directory + L'\\' + entry->name, pin, nullptr)) return false;
    }
  }
  pin.Reset();
  return RemoveItself(directory, identity);
}

bool Removal::RemoveFile(const std::wstring& file, DWORD attributes) {
  ApiFileHandle held = runtime::OpenAsItself(api_, file, kDeleteAccess, kNoSharing);
  if (!held.Valid() || !Mark(held, attributes)) return Refused(file, GetLastError());
  // Nobody else has it open, so closing the handle deletes it.
  held.Reset();
  if (progress_ != nullptr) progress_->done.fetch_add(1, std::memory_order_relaxed);
  return true;
}

bool Removal::RemoveItself(const std::wstring& directory, const Identity& identity) {
  {
    const ApiFileHandle held =
        runtime::OpenAsItself(api_, directory, kDeleteAccess, kDirectoryShare);
    Identity found;
    DWORD attributes = 0;
    if (!held.Valid() || !Identify(held, found, attributes)) {
      return Refused(directory, GetLastError());
    }
    if (found != identity) return Refused(directory, kReplacedMeanwhile);
    // Files below that someone still holds (with delete sharing) keep it from being empty a while.
    for (int poll = 0; !Mark(held, attributes); ++poll) {
      if (GetLastError() != ERROR_DIR_NOT_EMPTY || poll == kPendingPolls) {
        return Refused(directory, GetLastError());
      }
      Sleep(kPendingPollMilliseconds);
    }
  }
  for (int poll = 0; !Gone(directory); ++poll) {
    if (poll == kPendingPolls) return Refused(directory, ERROR_DELETE_PENDING);
    Sleep(kPendingPollMilliseconds);
  }
  return true;
}

bool Removal::Steps() {
  std::wstring aside = folder_;
  aside += kAsideSuffix;
  Identity identity;
  ApiFileHandle none;
  // What an interrupted run left aside goes first: it holds the name this run moves aside to.
  if (!Gone(aside)) {
    if (!CheckTree(aside, identity)) return false;
    removing_ = true;
    if (!RemoveTree(aside, none, &identity)) return false;
    removing_ = false;
  }
  const DWORD attributes = api_.getFileAttributes(folder_.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return Gone(folder_) || Refused(folder_, GetLastError());
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Stop(WholeRemoval::kRefused, 0, {});
  if (progress_ != nullptr) progress_->Restart(0);
  if (!CheckTree(folder_, identity)) return false;
  DWORD error = 0;
  if (!Move(folder_, identity, aside, error)) {
    // Windows refuses to rename a directory while anything below it is open (access denied): a
    // program took a file after the check.
    return Stop(error == ERROR_ACCESS_DENIED || HeldByAnother(error) ? WholeRemoval::kInUse
                                                                     : WholeRemoval::kFailed,
                error, folder_);
  }
  // Nobody finds the files by their old path any more: a program started from now on cannot take
  // one. One started since the check may hold one still (Wine renames whatever is open below, and
  // Windows keeps no open handle on a running image), so the moved tree is checked once more
  // before anything goes, and goes back under its name if it is held. Now that the files are
  // counted, the bar moves through that check and the removal alike, each file once in each.
  if (progress_ != nullptr)
    progress_->Restart(2 * progress_->total.load(std::memory_order_relaxed));
  counted_ = true;
  Identity moved;
  if (CheckTree(aside, moved) && (moved == identity || Refused(aside, kReplacedMeanwhile))) {
    removing_ = true;
    if (RemoveTree(aside, none, &identity)) return true;
  }
  // What is left goes back under its name, where the user looks for it.
  if (Move(aside, identity, folder_, error) && where_.starts_with(aside)) {
    where_.replace(0, aside.size(), folder_);
  }
  return false;
}

RemovalReport Removal::Run() {
  if (progress_ != nullptr) progress_->Restart(0);
  (void)Steps();
  if (!where_.empty()) report_.where = runtime::WideToGbk(runtime::WithoutExtendedPrefix(where_));
  return report_;
}

}  // namespace

RemovalReport RemoveTreeWholeForTesting(std::string_view path, runtime::Progress* progress,
                                        const runtime::FileApi& api) {
  std::wstring wide = runtime::GbkToWide(path);
  while (!wide.empty() && wide.back() == L'\\') wide.pop_back();
  const RemovalReport refused{WholeRemoval::kRefused, 0, {}};
  if (wide.empty() || !MayRemoveTree(wide)) return refused;
  std::wstring folder = runtime::ExtendedLengthPath(wide);
  if (folder.empty()) return refused;
  return Removal(api, progress, std::move(folder)).Run();
}

RemovalReport RemoveTreeWhole(std::string_view path, runtime::Progress* progress) {
  return RemoveTreeWholeForTesting(path, progress, runtime::SystemFileApi());
}

}  // namespace fs
