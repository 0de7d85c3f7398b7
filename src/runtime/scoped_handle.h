#pragma once
// One sole owner for every kind of system handle, in the shape of Chromium's GenericScopedHandle:
// the traits name the handle type, the value that means "none", which values are valid and how
// one is closed. Each handle is closed exactly once, when its owner goes or is reset.

#include <windows.h>

#include <utility>

namespace runtime {

template <typename Traits>
class GenericScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  GenericScopedHandle() = default;
  // Traits with a close function of their own (a test's counting closer) are handed in.
  explicit GenericScopedHandle(Handle handle, Traits traits = {})
      : handle_(handle), traits_(traits) {}
  GenericScopedHandle(GenericScopedHandle&& other) noexcept
      : handle_(other.Release()), traits_(other.traits_) {}
  GenericScopedHandle& operator=(GenericScopedHandle&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
      traits_ = other.traits_;
    }
    return *this;
  }
  GenericScopedHandle(const GenericScopedHandle&) = delete;
  GenericScopedHandle& operator=(const GenericScopedHandle&) = delete;
  ~GenericScopedHandle() { Reset(); }

  [[nodiscard]] bool Valid() const { return Traits::IsValid(handle_); }
  [[nodiscard]] Handle Get() const { return handle_; }

  // Gives the handle up without closing it; the owner holds none afterwards.
  [[nodiscard]] Handle Release() { return std::exchange(handle_, Traits::kInvalid); }

  // Closes the handle held, if any, and holds `handle` instead; the thread's last error stays.
  void Reset(Handle handle = Traits::kInvalid) {
    const Handle old = std::exchange(handle_, handle);
    if (Traits::IsValid(old) && old != handle) {
      const DWORD lastError = GetLastError();
      traits_.Close(old);
      SetLastError(lastError);
    }
  }

 private:
  Handle handle_ = Traits::kInvalid;
  [[no_unique_address]] Traits traits_{};
};

// Files, processes, threads, events: Win32 marks failure with null for some calls and
// INVALID_HANDLE_VALUE for others, and both count as "no handle".
struct KernelHandleTraits {
  using Handle = HANDLE;
  static constexpr Handle kInvalid = nullptr;
  static bool IsValid(Handle handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) { CloseHandle(handle); }
};

// FindFirstFile searches.
struct FindHandleTraits : KernelHandleTraits {
  static void Close(Handle handle) { FindClose(handle); }
};

// Handles whose "none" is null, closed by one function.
template <typename HandleType, auto CloseFunction>
struct NullIsInvalidTraits {
  using Handle = HandleType;
  static constexpr Handle kInvalid = nullptr;
  static bool IsValid(Handle handle) { return handle != nullptr; }
  static void Close(Handle handle) { CloseFunction(handle); }
};

using ModuleTraits = NullIsInvalidTraits<HMODULE, &FreeLibrary>;
using RegistryKeyTraits = NullIsInvalidTraits<HKEY, &RegCloseKey>;
// GDI objects: fonts, bitmaps, device contexts made with CreateCompatibleDC.
template <typename Object>
using GdiObjectTraits = NullIsInvalidTraits<Object, &DeleteObject>;

using ScopedHandle = GenericScopedHandle<KernelHandleTraits>;
using ScopedFind = GenericScopedHandle<FindHandleTraits>;
using ScopedModule = GenericScopedHandle<ModuleTraits>;
using ScopedRegistryKey = GenericScopedHandle<RegistryKeyTraits>;
using ScopedFont = GenericScopedHandle<GdiObjectTraits<HFONT>>;
// Memory the system allocated with LocalAlloc for the caller (a security descriptor, say).
using ScopedLocalMemory = GenericScopedHandle<NullIsInvalidTraits<HLOCAL, &LocalFree>>;

}  // namespace runtime
