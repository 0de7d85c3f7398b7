#pragma once
// A copy of a program for an elevated run to start: written into a folder made for it that only
// administrators and the system can change, and held open against writing until it has started,
// so that no other program of the user can put its own code in its place.

#include <windows.h>

#include <string>
#include <string_view>

#include "runtime/scoped_handle.h"

namespace runtime {

class ProtectedCopy {
 public:
  // Copies the file `source` into a new protected folder of a random name in `parent` (ending in
  // a backslash), as a new file under `name`; an invalid copy, nothing left behind, when any step
  // fails.
  [[nodiscard]] static ProtectedCopy Make(const std::wstring& source, const std::wstring& parent,
                                          std::wstring_view name);

  [[nodiscard]] bool Valid() const { return held_.Valid(); }
  [[nodiscard]] const std::wstring& Path() const { return path_; }
  [[nodiscard]] const std::wstring& Folder() const { return folder_; }
  // The handle that keeps the copy readable and executable but not writable or deletable.
  [[nodiscard]] HANDLE Held() const { return held_.Get(); }

  // Starts the copy hidden as `"<path>" <arguments>` from the wide text, in `directory`,
  // inheriting `inherited` and no other handle, then lets go of it and marks it and its folder
  // for deletion at the next restart: the process's handle, invalid when it was not started.
  [[nodiscard]] ScopedHandle Start(std::wstring_view arguments, HANDLE inherited,
                                   const std::wstring& directory);

  // Deletes the copy and its folder now, for a copy that was never started.
  void Discard();

 private:
  std::wstring folder_;
  std::wstring path_;
  ScopedHandle held_;
};

// The folder for copies an elevated run starts: the system's own temporary folder
// (%SystemRoot%\Temp\), where a standard user may add entries but never rename or delete another
// account's. Empty when the system names none.
[[nodiscard]] std::wstring SystemTemporaryFolder();

// Marks `file` (or an emptied folder), then its folder, for deletion at the next restart (a
// folder goes only if it is empty by then); true when both were marked.
[[nodiscard]] bool DeleteAtRestart(const std::wstring& file, const std::wstring& folder);

// Moves `file` in its folder `folder` to a new name of `prefix` and random digits, then marks it
// and the folder as DeleteAtRestart does: a file under the old name, written before the restart,
// is not deleted with it. True when moved and marked.
[[nodiscard]] bool DeleteAtRestartUnderNewName(const std::wstring& file, const std::wstring& folder,
                                               std::wstring_view prefix);

}  // namespace runtime
