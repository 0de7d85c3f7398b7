#pragma once
// Byte arrays of the runtime: an owned, growable run of bytes, and a view of one (such as the
// payload archive in constant data).

#include <cstdint>
#include <span>
#include <vector>

namespace runtime {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

}  // namespace runtime
