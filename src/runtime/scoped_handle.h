#pragma once
// Sole owners of kernel handles: each closed exactly once, when its owner goes. Win32 marks
// failure with null for some calls and INVALID_HANDLE_VALUE for others; both count as "no handle".

#include <windows.h>

#include <utility>

namespace runtime {

template <BOOL(WINAPI* CloseFunction)(HANDLE)>
class BasicScopedHandle {
 public:
  BasicScopedHandle() = default;
  explicit BasicScopedHandle(HANDLE handle) : handle_(handle) {}
  BasicScopedHandle(BasicScopedHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, nullptr)) {}
  BasicScopedHandle& operator=(BasicScopedHandle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  BasicScopedHandle(const BasicScopedHandle&) = delete;
  BasicScopedHandle& operator=(const BasicScopedHandle&) = delete;
  ~BasicScopedHandle() { Close(); }

  [[nodiscard]] bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  [[nodiscard]] HANDLE Get() const { return handle_; }

 private:
  void Close() {
    if (Valid()) CloseFunction(handle_);
    handle_ = nullptr;
  }

  HANDLE handle_ = nullptr;
};

// Files, processes, threads.
using ScopedHandle = BasicScopedHandle<&CloseHandle>;
// FindFirstFile searches.
using ScopedFind = BasicScopedHandle<&FindClose>;

}  // namespace runtime
