#pragma once
// Removing an installed program's folder as a whole or not at all. Windows keeps the files of a
// running program: its exe cannot be written or deleted, nor can a folder that is some program's
// current directory be removed. Deleting file by file would remove everything around them and leave
// a program that no longer starts.

#include <string_view>

namespace fs {

enum class WholeRemoval {
  kRemoved,  // the folder and everything in it are gone, or there was no folder
  kInUse,    // an entry is in use or cannot be deleted: nothing was removed
  kRefused,  // the path is not a folder, or the tree removal's guard refuses it: nothing touched
};

// Removes the directory at `path` with everything below it, or nothing at all when any entry is
// held by a program (a running exe or DLL, an open file, a current directory) or cannot be
// deleted. Every entry is held open without sharing from the check until its removal, so a
// program started meanwhile cannot take one. DeleteTree's guard applies and links are removed as
// links; entries made while it runs stay, and so do the directories that hold them.
[[nodiscard]] WholeRemoval RemoveTreeWhole(std::string_view path);

}  // namespace fs
