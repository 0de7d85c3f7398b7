#pragma once
// Removing an installed program's folder as a whole or not at all. Windows keeps the files of a
// running program: its exe cannot be written or deleted, nor can a folder that is some program's
// current directory be removed. Deleting file by file would remove everything around them and leave
// a program that no longer starts.

#include <string>

#include "runtime/progress.h"

namespace fs {

enum class WholeRemoval {
  kRemoved,  // the folder and everything in it are gone, or there was no folder
  kInUse,    // an entry is in use (a sharing violation, a running program): nothing was removed
  kFailed,   // an entry could not be checked or removed for another reason, or stayed behind
  kRefused,  // the path is not a folder, or the tree removal's guard refuses it: nothing touched
  // The folder is gone from its place; what could not go yet is scheduled for deletion at the next
  // restart.
  kRemovedAtRestart,
};

// What a removal did, and where and why it stopped.
struct RemovalReport {
  WholeRemoval result = WholeRemoval::kRemoved;
  unsigned long error = 0;  // the Win32 error behind kInUse or kFailed
  std::wstring where;       // path of the entry that refused or stayed
};

// Removes the directory at `path` with everything below it, or nothing at all when any entry is
// held by a program (a running exe or DLL, an open file, a current directory): each entry is
// checked first, then the directory is moved aside to a name of this run's own
// ("<name>.veltrane-removal-<process>-<time>"), checked again there and removed there with a fixed
// number of handles open. When the second check finds an entry held, the folder goes back under
// its name (kInUse, nothing removed). Once deletion has begun it only goes forward: what cannot go
// is scheduled for deletion at restart (kRemovedAtRestart), or kFailed names what stays without
// being scheduled. Aside folders of earlier runs go first, those still held are skipped.
// `progress`, when given, counts the files checked and then those removed. DeleteTree's guard
// applies and links are removed as links.
[[nodiscard]] RemovalReport RemoveTreeWhole(const std::wstring& path,
                                            runtime::Progress* progress = nullptr);

}  // namespace fs
