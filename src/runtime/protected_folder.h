#pragma once
// Folders that only administrators and the system can change, for what an elevated run starts
// or trusts: a standard user of the same PC must not be able to swap a file in them.

#include <string>
#include <string_view>

#include "runtime/scoped_handle.h"

namespace runtime {

// A self-relative security descriptor whose DACL, protected from the parent's, gives full access
// to Administrators and SYSTEM only and is inherited by everything created below; it names no
// owner, so the creator's default (Administrators, for an elevated run) becomes it. Null when it
// cannot be built.
[[nodiscard]] ScopedLocalMemory AdministratorsOnlyDescriptor();

// Creates the folder `path` with that descriptor in the same call, so that it is never open to
// others for a moment; false (with the system's last error) when it cannot be built or the name
// exists already, whoever made it.
[[nodiscard]] bool CreateProtectedFolder(const std::wstring& path);

// A name nobody can guess ahead: `prefix` and 16 hex digits from the system's random source;
// empty when the source fails.
[[nodiscard]] std::wstring RandomName(std::wstring_view prefix);

}  // namespace runtime
