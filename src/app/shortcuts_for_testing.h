#pragma once
// What the tests of the shortcuts reach beyond the product's interface: a Windows whose shell
// names no all-users desktop or Programs folder (a broken profile, a policy) cannot be made under
// Wine, so the folders are looked up through a function a test hands in.

#include <windows.h>

#include <string_view>
#include <vector>

#include "app/shortcuts.h"

namespace app {

// SHGetSpecialFolderPathW's part the shortcuts use: the folder `csidl` into `path` (MAX_PATH
// units); FALSE when the system names none.
using FolderLookup = BOOL (*)(wchar_t* path, int csidl);

// CreateShortcuts with the folders looked up through `lookup`.
[[nodiscard]] std::vector<ShortcutFailure> CreateShortcutsForTesting(std::wstring_view root,
                                                                     bool onDesktop,
                                                                     FolderLookup lookup);

}  // namespace app
