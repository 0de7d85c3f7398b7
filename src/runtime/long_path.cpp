#include "runtime/long_path.h"

#include <windows.h>

namespace runtime {

namespace {

constexpr std::wstring_view kExtendedPrefix = L"\\\\?\\";
constexpr std::wstring_view kExtendedSharePrefix = L"\\\\?\\UNC\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";
constexpr std::wstring_view kSharePrefix = L"\\\\";
// "C:\" keeps its backslash: without it the text names the current directory of drive C.
constexpr std::size_t kDriveRootLength = 3;

}  // namespace

std::wstring FullPath(const std::wstring& path) {
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring full(needed, L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return {};
  full.resize(written);
  return full;
}

std::wstring ExtendedLengthPath(const std::wstring& path) {
  if (path.starts_with(kExtendedPrefix) || path.starts_with(kDevicePrefix)) return path;
  // The extended form is taken literally, so "..", "." and "/" are resolved first.
  std::wstring full = FullPath(path);
  while (full.size() > kDriveRootLength && full.back() == L'\\') full.pop_back();
  if (full.starts_with(kSharePrefix)) {
    return std::wstring(kExtendedSharePrefix) + full.substr(kSharePrefix.size());
  }
  return full.empty() ? full : std::wstring(kExtendedPrefix) + full;
}

std::wstring WithoutExtendedPrefix(std::wstring_view path) {
  if (path.starts_with(kExtendedSharePrefix)) {
    return std::wstring(kSharePrefix) + std::wstring(path.substr(kExtendedSharePrefix.size()));
  }
  if (path.starts_with(kExtendedPrefix)) return std::wstring(path.substr(kExtendedPrefix.size()));
  return std::wstring(path);
}

}  // namespace runtime
