#pragma once
// Functions bound by name, for calls that not every supported Windows has: the exe must still
// start where one is missing, and the caller takes another way there.

#include <windows.h>

namespace runtime {

// The function `name` exported by `module`, typed as `Function`; null when the module is null or
// does not export it.
template <typename Function>
[[nodiscard]] Function BindFunction(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // Through the generic function type, which converts to any other without a cast warning.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace runtime
