// The sample product's start program, which the installer's finish button opens. Before its window
// appears it writes startup.ran beside itself, so that a test sees that it was started even when
// nobody looks at the window.
#include <windows.h>

#include <string>
#include <string_view>

#include "product_window.h"

namespace {

constexpr std::string_view kRanMarkerText = "Veltrane brisel startup ran\r\n";

// Owns one file handle.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (Valid()) CloseHandle(handle_);
  }
  [[nodiscard]] bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  [[nodiscard]] HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The directory of this program's exe with a trailing backslash; empty when it cannot be read.
[[nodiscard]] std::wstring OwnDirectory() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return {};
  path.resize(length);
  const std::size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return {};
  path.resize(separator + 1);
  return path;
}

// True when the marker file was written in full.
[[nodiscard]] bool WriteRanMarker() {
  const std::wstring directory = OwnDirectory();
  if (directory.empty()) return false;
  const std::wstring markerPath = directory + L"startup.ran";
  FileHandle file(CreateFileW(markerPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  DWORD written = 0;
  return WriteFile(file.Get(), kRanMarkerText.data(), static_cast<DWORD>(kRanMarkerText.size()),
                   &written, nullptr) &&
         written == kRanMarkerText.size();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // An installed product that cannot note its start still shows that it is installed.
  const bool noted = WriteRanMarker();
  const int windowResult =
      product::RunTextWindow(instance, L"Veltrane brisel", L"Veltrane brisel 已安装");
  return windowResult != 0 ? windowResult : (noted ? 0 : 2);
}
