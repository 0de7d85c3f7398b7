#pragma once
// Byte arrays of the runtime: an owned, growable run of bytes, and a view of one (such as the
// payload archive in constant data).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace runtime {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// The integer of the first four bytes, or of all of them when there are fewer, little-endian and
// zero-extended; 0 for no bytes.
[[nodiscard]] constexpr std::uint32_t ReadLittleEndian32(ByteView bytes) {
  std::uint32_t value = 0;
  const std::size_t count = std::min<std::size_t>(bytes.size(), sizeof value);
  for (std::size_t i = 0; i < count; ++i) value |= std::uint32_t{bytes[i]} << (8 * i);
  return value;
}

}  // namespace runtime
