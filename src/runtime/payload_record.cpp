#include "runtime/payload_record.h"

#include <cstddef>
#include <cstdint>

namespace runtime {

namespace {

constexpr std::size_t kHeadSize = 8;
constexpr std::uint32_t kMarker = 1;

[[nodiscard]] std::uint32_t ReadLittleEndian32(ByteView bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

ByteView ArchiveInRecord(ByteView record) {
  if (record.size() < kHeadSize || ReadLittleEndian32(record.first(4)) != kMarker) return {};
  const std::uint32_t length = ReadLittleEndian32(record.subspan(4, 4));
  if (length > record.size() - kHeadSize) return {};
  return record.subspan(kHeadSize, length);
}

}  // namespace runtime
