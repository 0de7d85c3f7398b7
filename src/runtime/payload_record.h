#pragma once
// The payload record's layout: marker 1 (32-bit little-endian), the archive's length (32-bit
// little-endian), then the archive's bytes.

#include "runtime/bytes.h"

namespace runtime {

// The archive bytes inside a record, as a view into the record itself. Empty when the record is
// shorter than its 8-byte head, its marker is not 1, or its length runs past the record's end.
[[nodiscard]] ByteView ArchiveInRecord(ByteView record);

}  // namespace runtime
