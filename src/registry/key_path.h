#pragma once
// Key path texts of the registry: GBK byte strings whose levels are separated by backslashes.

#include <string_view>

namespace registry {

// A key path cut at its last separator.
struct KeyPathParts {
  std::string_view parent;  // everything before the separator; empty when there is none
  std::string_view child;   // everything after it; the whole path when there is none
};

// Cuts the path at its last backslash. A 0x5C byte that is the second byte of a double-byte GBK
// character is part of that character, not a separator.
[[nodiscard]] KeyPathParts SplitKeyPath(std::string_view path);

}  // namespace registry
