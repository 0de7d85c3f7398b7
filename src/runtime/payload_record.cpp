#include "runtime/payload_record.h"

#include <cstddef>
#include <cstdint>

namespace runtime {

namespace {

// The head: the marker, then the archive's length, each a 32-bit field.
constexpr std::size_t kFieldSize = 4;
constexpr std::size_t kHeadSize = 2 * kFieldSize;
constexpr std::uint32_t kMarker = 1;

}  // namespace

ByteView ArchiveInRecord(ByteView record) {
  if (record.size() < kHeadSize || ReadLittleEndian32(record.first(kFieldSize)) != kMarker) {
    return {};
  }
  const std::uint32_t length = ReadLittleEndian32(record.subspan(kFieldSize, kFieldSize));
  if (length > record.size() - kHeadSize) return {};
  return record.subspan(kHeadSize, length);
}

}  // namespace runtime
