#pragma once
// The payload record's layout: marker 1 (32-bit little-endian), the archive's length (32-bit
// little-endian), then the archive's bytes.

#include <cstdint>
#include <string_view>

#include "runtime/bytes.h"

namespace runtime {

// The archive bytes inside a record, as a view into the record itself. Empty when the record is
// shorter than its 8-byte head, its marker is not 1, or its length runs past the record's end.
[[nodiscard]] ByteView ArchiveInRecord(ByteView record);

// One file the payload unpacks to, as the build's file table holds it: its unpacked size, then its
// path below the install root (UTF-8, with backslashes) up to a zero byte.
struct PayloadFile {
  std::uint64_t size = 0;
  std::string_view path;
};

// Takes the first file off a file table, stepping `table` past it; false, with both untouched,
// when the table does not begin with a whole entry.
[[nodiscard]] bool TakePayloadFile(ByteView& table, PayloadFile& file);

}  // namespace runtime
