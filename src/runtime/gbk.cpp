#include "runtime/gbk.h"

#include <windows.h>

#include "runtime/gbk_for_testing.h"

namespace runtime {

namespace {

constexpr UINT kGbkCodePage = 936;

// GBK form of the UTF-16 text up to its first NUL unit, converted through `convert` with `flags`;
// `usedDefault`, when given, is set when a character became the default one. Empty when it does
// not convert.
std::string Narrow(std::wstring_view wide, DWORD flags, BOOL* usedDefault,
                   WideToMultiByteCall convert = &::WideCharToMultiByte) {
  wide = wide.substr(0, wide.find(L'\0'));
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int bytes = convert(kGbkCodePage, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string gbk(static_cast<size_t>(bytes), '\0');
  if (convert(kGbkCodePage, flags, wide.data(), size, gbk.data(), bytes, nullptr, usedDefault) !=
      bytes) {
    return {};
  }
  return gbk;
}

}  // namespace

std::wstring GbkToWide(std::string_view gbk) {
  gbk = gbk.substr(0, gbk.find('\0'));
  if (gbk.empty()) return {};
  const int size = static_cast<int>(gbk.size());
  const int units = MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), size, nullptr, 0);
  if (units <= 0) return {};
  std::wstring wide(static_cast<size_t>(units), L'\0');
  if (MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), size, wide.data(), units) != units) {
    return {};
  }
  return wide;
}

std::string WideToGbk(std::wstring_view wide) { return Narrow(wide, 0, nullptr); }

std::optional<std::string> ExactGbk(std::wstring_view wide) {
  return ExactGbkForTesting(wide, &::WideCharToMultiByte);
}

std::optional<std::string> ExactGbkForTesting(std::wstring_view wide, WideToMultiByteCall convert) {
  BOOL usedDefault = FALSE;
  std::string gbk = Narrow(wide, WC_NO_BEST_FIT_CHARS, &usedDefault, convert);
  // An empty result of a text that is not empty did not convert at all.
  if (usedDefault || (gbk.empty() && !wide.empty() && wide.front() != L'\0')) return std::nullopt;
  return gbk;
}

}  // namespace runtime
