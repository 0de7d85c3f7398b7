#include "runtime/gbk.h"

#include <windows.h>

namespace runtime {

namespace {
constexpr UINT kGbkCodePage = 936;
}

std::wstring GbkToUtf16(std::string_view gbk) {
  if (gbk.empty()) return {};
  const int size = static_cast<int>(gbk.size());
  const int units = MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), size, nullptr, 0);
  if (units <= 0) return {};
  std::wstring utf16(static_cast<size_t>(units), L'\0');
  if (MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), size, utf16.data(), units) != units)
    return {};
  return utf16;
}

std::string Utf16ToGbk(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int size = static_cast<int>(utf16.size());
  const int bytes =
      WideCharToMultiByte(kGbkCodePage, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string gbk(static_cast<size_t>(bytes), '\0');
  if (WideCharToMultiByte(kGbkCodePage, 0, utf16.data(), size, gbk.data(), bytes, nullptr,
                          nullptr) != bytes) {
    return {};
  }
  return gbk;
}

}  // namespace runtime
