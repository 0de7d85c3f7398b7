#pragma once
// The product archive the installer carries in its read-only constant data.

#include <cstdint>

#include "runtime/bytes.h"

namespace runtime {

// The payload archive's bytes, viewed in place in the exe's constant data (the record's 8-byte
// head not included): hand it to WriteFile as it is, with no copy.
[[nodiscard]] ByteView PayloadArchive();

// The CRC-32 (crc32.h) of the archive's bytes as the build embedded them: a copy of the installer
// damaged since (a bad download, a failing disk) gives another one.
[[nodiscard]] std::uint32_t PayloadChecksum();

// Bytes of all the archive's files once unpacked, as the build read them from its listing.
[[nodiscard]] std::uint64_t PayloadUnpackedSize();

// The archive's files that have bytes, in the order 7-Zip unpacks them, as the build read them
// from its listing: a table to read with TakePayloadFile (payload_record.h).
[[nodiscard]] ByteView PayloadFileTable();

}  // namespace runtime
