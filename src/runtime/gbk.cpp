#include "runtime/gbk.h"

#include <windows.h>

namespace runtime {

namespace {
constexpr UINT kGbkCodePage = 936;
}

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

std::string WideToGbk(std::wstring_view wide) {
  wide = wide.substr(0, wide.find(L'\0'));
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int bytes =
      WideCharToMultiByte(kGbkCodePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string gbk(static_cast<size_t>(bytes), '\0');
  if (WideCharToMultiByte(kGbkCodePage, 0, wide.data(), size, gbk.data(), bytes, nullptr,
                          nullptr) != bytes) {
    return {};
  }
  return gbk;
}

}  // namespace runtime
