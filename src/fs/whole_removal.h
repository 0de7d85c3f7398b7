#pragma once
// Removing an installed program's folder as a whole or not at all. Windows keeps the files of a
// running program: its exe cannot be written or deleted, nor can a folder that is some program's
// current directory be removed. Deleting file by file would remove everything around them and leave
// a program that no longer starts.

#include <string>

#include "fs/entry_handles.h"
#include "runtime/progress.h"

namespace fs {

enum class WholeRemoval {
  kRemoved,  // the folder and everything in it are gone, or there was no folder
  kInUse,    // an entry is in use (a sharing violation, a running program): nothing was removed
  kFailed,   // an entry could not be checked or moved for another reason: nothing was removed
  kRefused,  // the path is not a folder, or the tree removal's guard refuses it: nothing touched
  // The folder is gone from its place; what could not go stays in the folder it was moved aside
  // to (`aside`), which the next removal of a folder of that name there takes.
  kLeftAside,
};

// What a removal did, and where and why it stopped.
struct RemovalReport {
  WholeRemoval result = WholeRemoval::kRemoved;
  unsigned long error = 0;  // the Win32 error behind kInUse, kFailed or kLeftAside
  std::wstring where;       // path of the entry that refused or stayed
  // Where the folder lies under its aside name: what stayed of it (kLeftAside), or all of it when
  // it could not be moved back (kInUse, kFailed). Empty while it lies under its own name or is
  // gone.
  std::wstring aside;
  Identity asideIdentity;  // who the folder at `aside` is
};

// Removes the directory at `path` with everything below it, or nothing at all when any entry is
// held by a program (a running exe or DLL, an open file, a current directory): each entry is
// checked first, then the directory is moved aside to a name of this run's own
// ("<name>.veltrane-removal-<process>-<time>"), checked again there and removed there with a fixed
// number of handles open. When the second check finds an entry held, the folder goes back under
// its name (kInUse, nothing removed; `aside` names it when it cannot go back). Once deletion has
// begun it only goes forward: what cannot go stays aside (kLeftAside). A refusal that may pass (a
// scanner's moment) is tried again, out of about 2 s for the whole removal. Aside folders of
// earlier runs go first, those still held are skipped. `before`, the report of the attempt a Retry
// follows: a folder it could not move back goes back under its name first. `progress`, when
// given, counts the files checked and then those removed. DeleteTree's guard applies and links are
// removed as links.
[[nodiscard]] RemovalReport RemoveTreeWhole(const std::wstring& path,
                                            runtime::Progress* progress = nullptr,
                                            const RemovalReport* before = nullptr);

// Whether RemoveTreeWhole of `path` would find nothing to touch: neither the directory nor anything
// earlier removals left aside beside it. A few look-ups of names, without the guard.
[[nodiscard]] bool NothingToRemove(const std::wstring& path);

// Removes what earlier removals of the directory at `path` left aside beside it, skipping what is
// still held; true when none is left. DeleteTree's guard applies.
[[nodiscard]] bool RemoveLeftAside(const std::wstring& path);

}  // namespace fs
