#pragma once
// The product archive the installer carries in its read-only constant data.

#include "runtime/bytes.h"

namespace runtime {

// The payload archive's bytes, viewed in place in the exe's constant data (the record's 8-byte
// head not included): hand it to WriteFile as it is, with no copy.
[[nodiscard]] ByteView PayloadArchive();

}  // namespace runtime
