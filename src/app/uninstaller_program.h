#pragma once
// The uninstaller the installer carries in its read-only constant data, packed with LZMA: the
// installer's own bytes are what a user downloads. Only the installer's own objects define it: the
// uninstaller itself is built on this layer and cannot hold itself.

#include <cstdint>

#include "runtime/bytes.h"

namespace app {

// The length of uninstall.exe once unpacked.
[[nodiscard]] std::uint64_t UninstallerProgramSize();

// The bytes of uninstall.exe, unpacked from the constant data into `program`; false, with
// `program` untouched, when they do not unpack to exactly that length.
[[nodiscard]] bool UnpackUninstallerProgram(runtime::Bytes& program);

}  // namespace app
