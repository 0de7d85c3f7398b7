#pragma once
// Owners for COM: an interface pointer released once, a BSTR freed once, and the thread's
// apartment entered and left in pairs.

#include <windows.h>
// After windows.h, which they build on.
#include <objbase.h>
#include <oleauto.h>

#include "runtime/scoped_handle.h"

namespace runtime {

// An interface pointer: "none" is null, and it is given back with its own Release.
template <typename Interface>
struct ComInterfaceTraits {
  using Handle = Interface*;
  static constexpr Handle kInvalid = nullptr;
  static bool IsValid(Handle handle) { return handle != nullptr; }
  static void Close(Handle handle) { handle->Release(); }
};

template <typename Interface>
using ScopedCom = GenericScopedHandle<ComInterfaceTraits<Interface>>;
using ScopedBstr = GenericScopedHandle<NullIsInvalidTraits<BSTR, &SysFreeString>>;

// Asks `object` for another of its interfaces: null when it has none.
template <typename Interface, typename Object>
[[nodiscard]] ScopedCom<Interface> QueryCom(const ScopedCom<Object>& object, REFIID id) {
  void* other = nullptr;
  if (!object.Valid() || FAILED(object.Get()->QueryInterface(id, &other))) return {};
  return ScopedCom<Interface>(static_cast<Interface*>(other));
}

// The calling thread inside a single-threaded apartment for the owner's lifetime. A thread already
// in one stays in it (the count is only raised); a thread of another kind of apartment keeps it,
// and COM works there as well.
class ComApartment {
 public:
  ComApartment()
      : entered_(
            SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (entered_) CoUninitialize();
  }

 private:
  bool entered_;
};

}  // namespace runtime
