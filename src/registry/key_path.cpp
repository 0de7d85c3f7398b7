#include "registry/key_path.h"

#include <cstddef>

namespace registry {

namespace {

// First byte of a double-byte GBK character.
bool IsGbkLeadByte(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= 0x81 && value <= 0xFE;
}

}  // namespace

KeyPathParts SplitKeyPath(std::string_view path) {
  std::size_t separator = std::string_view::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (IsGbkLeadByte(path[i])) {
      ++i;  // the trail byte, whatever its value
    } else if (path[i] == '\\') {
      separator = i;
    }
  }
  if (separator == std::string_view::npos) return {{}, path};
  return {path.substr(0, separator), path.substr(separator + 1)};
}

}  // namespace registry
