#include "runtime/payload_record.h"

#include <algorithm>
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

bool TakePayloadFile(ByteView& table, PayloadFile& file) {
  constexpr std::size_t kSizeField = 8;
  if (table.size() <= kSizeField) return false;
  const ByteView path = table.subspan(kSizeField);
  const auto end = std::find(path.begin(), path.end(), std::uint8_t{0});
  if (end == path.end()) return false;
  file.size = ReadLittleEndian32(table.first(kFieldSize)) |
              std::uint64_t{ReadLittleEndian32(table.subspan(kFieldSize, kFieldSize))} << 32;
  file.path = std::string_view(reinterpret_cast<const char*>(path.data()),
                               static_cast<std::size_t>(end - path.begin()));
  table = path.subspan(file.path.size() + 1);
  return true;
}

}  // namespace runtime
