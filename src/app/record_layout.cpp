#include "app/record_layout.h"

#include <algorithm>

namespace app {

std::uint32_t InstalledMarker(const std::optional<runtime::Bytes>& data) {
  if (!data) return 0;
  std::uint32_t marker = 0;
  const std::size_t count = std::min<std::size_t>(data->size(), 4);
  for (std::size_t i = 0; i < count; ++i) marker |= std::uint32_t{(*data)[i]} << (8 * i);
  return marker;
}

}  // namespace app
