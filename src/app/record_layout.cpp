#include "app/record_layout.h"

namespace app {

std::uint32_t InstalledMarker(const std::optional<runtime::Bytes>& data) {
  return data ? runtime::ReadLittleEndian32(*data) : 0;
}

}  // namespace app
