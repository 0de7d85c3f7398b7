#pragma once
// path.dat, the record of an installation's three paths in the user's roaming application-data
// folder, and the shell folders it is placed by.

#include <string>
#include <string_view>

namespace fs {

// The shell folder `csidl` (a CSIDL_ number) ending in one backslash, or empty when the folder is
// unknown or missing; the folder is never created.
[[nodiscard]] std::wstring SpecialFolderPath(int csidl);

// Replaces path.dat in the application-data folder (the current directory when that folder is
// unknown) with the three paths in GBK, the record's encoding, joined by CR LF; true when the new
// record is in place. The old record is replaced in one step: on any failure it stays as it was.
// The caller has refused paths GBK cannot hold.
bool WritePathRecord(std::wstring_view first, std::wstring_view second, std::wstring_view third);

// Deletes path.dat when its third text names `root` (ASCII letters compared without case): a
// record of another installation, or one that cannot be read, stays. True when it was deleted.
[[nodiscard]] bool RemovePathRecordOf(const std::wstring& root);

}  // namespace fs
