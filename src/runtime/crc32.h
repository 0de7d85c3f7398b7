#pragma once
// CRC-32 as 7-Zip, zip and NSIS compute it (the reflected polynomial 0xEDB88320, starting from and
// finished with all bits inverted): the checksum the build records of the payload archive.

#include <cstdint>

#include "runtime/bytes.h"

namespace runtime {

// The CRC-32 of no bytes, to start a running checksum from.
inline constexpr std::uint32_t kCrc32OfNothing = 0;

// The CRC-32 of the bytes a running checksum `crc` covered followed by `bytes`: feeding a run of
// bytes in pieces gives the CRC-32 of the whole run.
[[nodiscard]] std::uint32_t UpdateCrc32(std::uint32_t crc, ByteView bytes);

}  // namespace runtime
