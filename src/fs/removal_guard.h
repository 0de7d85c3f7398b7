#pragma once
// Which directory trees this machine lets the installer remove.

#include <string>

namespace fs {

// True unless `path`, spelled as given, in full, with long names or with every link resolved,
// is relative, a drive or share root, or one of the machine's system, program, shared-data or
// user folders, or an ancestor of one.
[[nodiscard]] bool MayRemoveTree(const std::wstring& path);

}  // namespace fs
