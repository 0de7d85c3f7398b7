#pragma once
// The folder of the run logs, reached through one handle on it: an elevated run creates and
// deletes files there, in a folder of the user's temporary folder that any program of the user
// may change. By path, a junction swapped in between would steer that create or delete to any file
// on the machine; through the handle, every create and delete lands in the folder that was checked.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "runtime/scoped_handle.h"

namespace runtime {

class LogFolder {
 public:
  // Makes the folder at `path` when missing and opens it as itself, never through a link; an
  // invalid folder unless it is a plain directory owned by this user or by the administrators.
  // While it is open nobody can rename or delete it.
  [[nodiscard]] static LogFolder Open(const std::wstring& path);

  [[nodiscard]] bool Valid() const { return handle_.Valid(); }

  // A new file of that name in the folder, for writing and shared for reading only, never a link
  // or a file that was there before; invalid when it cannot be made.
  [[nodiscard]] ScopedHandle CreateNewFile(std::wstring_view name) const;

  // The names of the folder's entries that are no directories, as its handle lists them.
  [[nodiscard]] std::vector<std::wstring> FileNames() const;

  // Deletes the entry of that name only when, opened through the folder's handle, it is a plain
  // file: no link of any kind, no directory, not held open by a run still writing it.
  void DeletePlainFile(std::wstring_view name) const;

 private:
  ScopedHandle handle_;
};

}  // namespace runtime
