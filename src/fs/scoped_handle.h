#pragma once
// Sole owner of a Win32 handle whose failure value is INVALID_HANDLE_VALUE (files, searches).

#include <windows.h>

namespace fs {

template <BOOL(WINAPI* Close)(HANDLE)>
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() {
    if (Valid()) Close(handle_);
  }

  [[nodiscard]] bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  [[nodiscard]] HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

using FileHandle = ScopedHandle<&CloseHandle>;
using FindHandle = ScopedHandle<&FindClose>;

}  // namespace fs
