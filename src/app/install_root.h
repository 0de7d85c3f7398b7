#pragma once
// The install root: the one program-wide text, the installation directory. Empty at start.

#include <string>

namespace app {

[[nodiscard]] std::wstring& InstallRoot();

// Releases the install root; registered for program exit.
void ReleaseInstallRoot();

}  // namespace app
