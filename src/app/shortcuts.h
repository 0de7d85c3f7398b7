#pragma once
// The start program's shortcuts, brisel.lnk on the all-users desktop and in the all-users Programs
// folder, where users look for a game: written after the unpacking, taken away with the
// installation.

#include <string>
#include <string_view>
#include <vector>

namespace app {

// A shortcut that could not be written: where it should have been and the system's error code.
struct ShortcutFailure {
  std::wstring path;
  unsigned long error;
};

// Writes brisel.lnk for the installation in `root` (ending in a backslash) into the all-users
// Programs folder and, when `onDesktop`, onto the all-users desktop: the start program as target
// and icon, the program folder as working folder. The shell is told of each one written; each
// failure is logged and returned, for the user to be told once the installation is recorded.
[[nodiscard]] std::vector<ShortcutFailure> CreateShortcuts(std::wstring_view root, bool onDesktop);

// What the user reads of a shortcut that could not be written (GBK).
[[nodiscard]] std::string ShortcutFailedMessage(const ShortcutFailure& failure);

// Whether the all-users desktop holds a brisel.lnk whose target lies inside the program folder of
// the installation in `root`.
[[nodiscard]] bool HasDesktopShortcutInto(std::wstring_view root);

// Deletes the brisel.lnk of the desktop and of Programs whose target lies inside the program folder
// of the installation in `root`; a user's own shortcut of that name that points elsewhere stays.
void RemoveShortcutsInto(std::wstring_view root);

}  // namespace app
