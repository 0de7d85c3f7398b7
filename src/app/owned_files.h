#pragma once
// What an installation owns below its root, and its removal.

#include <string_view>

namespace app {

// Removes what an installation owns in `root` (ending in a backslash): the program folder with
// the guarded tree removal, the uninstaller, and then the root itself only when nothing else is
// left in it. A user's own files beside them stay. True when the program folder is gone (or was
// never there); the uninstaller and the root may stay, a running uninstaller above all.
[[nodiscard]] bool RemoveOwnedFiles(std::string_view root);

}  // namespace app
