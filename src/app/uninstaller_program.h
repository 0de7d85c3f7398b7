#pragma once
// The uninstaller the installer carries in its read-only constant data. Only the installer's own
// objects define it: the uninstaller itself is built on this layer and cannot hold itself.

#include "runtime/bytes.h"

namespace app {

// The bytes of uninstall.exe, viewed in place in the exe's constant data: hand it to WriteFile as
// it is, with no copy.
[[nodiscard]] runtime::ByteView UninstallerProgram();

}  // namespace app
