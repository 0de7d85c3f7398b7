#pragma once
// What the tests of the GBK conversion reach beyond the product's interface.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace runtime {

// The conversion call ExactGbk makes. Without WC_NO_BEST_FIT_CHARS Windows writes a look-alike
// for a letter GBK lacks ("e" for "ë") and reports no default character; Wine writes "?" either
// way. A test plays Windows through a function of its own.
using WideToMultiByteCall = decltype(&::WideCharToMultiByte);

// ExactGbk, converting through `convert`.
[[nodiscard]] std::optional<std::string> ExactGbkForTesting(std::wstring_view wide,
                                                            WideToMultiByteCall convert);

}  // namespace runtime
