#pragma once
// The install root: the one program-wide text, the installation directory (GBK). Empty at start.

#include <string>

namespace app {

[[nodiscard]] std::string& InstallRoot();

// Releases the install root; registered for program exit.
void ReleaseInstallRoot();

}  // namespace app
