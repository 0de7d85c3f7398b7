#include "runtime/files.h"

#include <windows.h>

#include <string>

namespace runtime {

namespace {

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

}  // namespace

bool FileExists(std::string_view path) {
  const std::string text(path);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(text.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

bool WriteFile(std::string_view path, std::initializer_list<ByteView> parts) {
  if (path.empty()) return false;
  const std::string text(path);
  FileHandle file(CreateFileA(text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  for (ByteView part : parts) {
    if (part.empty()) continue;
    DWORD written = 0;
    if (!::WriteFile(file.Get(), part.data(), static_cast<DWORD>(part.size()), &written, nullptr) ||
        written != part.size()) {
      return false;
    }
  }
  return true;
}

}  // namespace runtime
