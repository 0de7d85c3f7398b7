#pragma once
// The one walk over a directory tree, for checking, removing and measuring it alike. It works on
// extended-length paths (7-Zip unpacks paths past MAX_PATH), removes links as links, and holds at
// most two handles at once however many entries the tree has: the level it is in, and one listing
// or one entry in it.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fs/entry_handles.h"
#include "fs/retry_budget.h"
#include "runtime/file_find.h"
#include "runtime/progress.h"

namespace fs {

// A directory held while it is listed or while its files go shares reading and writing only:
// meanwhile nobody renames it or swaps it for a link, and on Windows, which refuses to rename a
// directory while anything below it is open, nobody renames the levels above it either.
inline constexpr DWORD kDirectoryShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
// Opened so, an entry is refused while anyone else has it open for reading, writing or deletion.
inline constexpr DWORD kNoSharing = 0;

// Where and why a walk met an entry it could not check or remove.
struct WalkStop {
  DWORD error = 0;
  std::wstring where;  // extended-length path; empty while nothing stopped the walk
};

// Called with each directory a removal has entered, while it holds the directory.
using DirectoryEnteredHook = void (*)(std::wstring_view directory);

class TreeWalk {
 public:
  // `progress`, when given, counts the files checked (as found, or as done once CountAsDone was
  // called) and the files removed. A removal tries a refused entry again out of `budget`, shared
  // by the walks of one removal, or out of a budget of the walk's own.
  TreeWalk(const runtime::FileApi& api, runtime::Progress* progress = nullptr,
           DirectoryEnteredHook entered = nullptr, RetryBudget* budget = nullptr)
      : handles_(api),
        progress_(progress),
        entered_(entered),
        ownBudget_(api.sleep),
        budget_(budget != nullptr ? *budget : ownBudget_) {}

  [[nodiscard]] EntryHandles& Handles() { return handles_; }

  // Opens every entry below `directory` as its removal will, closing each at once, and the
  // directories with `directoryShare`; stops at the first refusal (First). `identity` receives the
  // directory's own.
  [[nodiscard]] bool Check(const std::wstring& directory, Identity& identity,
                           DWORD directoryShare = kDirectoryShare);
  // From now on a check counts each file done rather than found.
  void CountAsDone() { counted_ = true; }

  // Removes `directory` and everything below it that can go, going on past what cannot, which
  // stays where it is: nothing is left to a deletion by path at the next restart, which a user who
  // may change a folder above could steer elsewhere with a junction. `expected`, when given, is who
  // the directory must be. True when the directory is gone.
  [[nodiscard]] bool Remove(const std::wstring& directory, const Identity* expected = nullptr);

  // Bytes of the files below `directory`; links to directories are not followed.
  [[nodiscard]] std::uint64_t Size(const std::wstring& directory);

  // The first entry that stopped a check or stayed behind a removal.
  [[nodiscard]] const WalkStop& First() const { return first_; }

 private:
  // Records the first stop; false for the caller to return.
  bool Stopped(const std::wstring& where, DWORD error);
  // The entry cannot go now and stays; true when it is gone after all (someone else deleted it).
  bool Left(const std::wstring& where, DWORD error);

  // The entries of `directory` other than "." and "..", read whole, so that no search stays open
  // while they are worked on; the Win32 error that cut the listing short, or 0.
  [[nodiscard]] DWORD List(const std::wstring& directory,
                           std::vector<runtime::FoundEntry>& entries);
  // Opens the file as its removal will, unshared and for writing, and closes it.
  [[nodiscard]] bool CheckFile(const std::wstring& file, DWORD attributes);
  // Remove's work below the held `parent`, which is let go once `directory` is held.
  [[nodiscard]] bool RemoveBelow(const std::wstring& directory, runtime::ApiFileHandle& parent,
                                 const Identity* expected);
  // Deletes the file through its own handle, held unshared; counts it done.
  [[nodiscard]] bool RemoveFile(const std::wstring& file, DWORD attributes);
  // Deletes the emptied directory, still the one of `identity`, and waits until it is gone.
  [[nodiscard]] bool RemoveItself(const std::wstring& directory, const Identity& identity);
  // One attempt of RemoveItself; false with the last error set, kReplacedMeanwhile for another
  // directory in its place.
  [[nodiscard]] bool DeleteEmptied(const std::wstring& directory, const Identity& identity);
  // Holds `directory` as itself for listing, shared as kDirectoryShare, and identifies it.
  [[nodiscard]] bool Pin(const std::wstring& directory, runtime::ApiFileHandle& pin,
                         Identity& identity, DWORD& attributes);

  EntryHandles handles_;
  runtime::Progress* const progress_;
  const DirectoryEnteredHook entered_;
  RetryBudget ownBudget_;
  RetryBudget& budget_;
  bool counted_ = false;
  WalkStop first_;
};

}  // namespace fs
