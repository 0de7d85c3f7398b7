#include "registry/key_path.h"

#include "runtime/gbk.h"

namespace registry {

KeyPathParts SplitKeyPath(std::string_view path) {
  const std::size_t separator = runtime::LastBackslash(path);
  if (separator == std::string_view::npos) return {{}, path};
  return {path.substr(0, separator), path.substr(separator + 1)};
}

}  // namespace registry
