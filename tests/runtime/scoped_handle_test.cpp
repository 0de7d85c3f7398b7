// The handle owner leaves the thread's last error to the call that failed.
#include "runtime/scoped_handle.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace runtime {
namespace {

// A kernel handle whose close fails the way a close can, setting an error of its own.
struct FailingCloseTraits : KernelHandleTraits {
  static void Close(Handle) { SetLastError(ERROR_INVALID_HANDLE); }
};
using FailingCloseHandle = GenericScopedHandle<FailingCloseTraits>;

TEST(ScopedHandle, ResetAndDestructionKeepTheLastErrorOfTheCallThatFailed) {
  const struct {
    const char* what;
    void (*close)(FailingCloseHandle&);
  } kCloses[] = {
      {"reset", [](FailingCloseHandle& owner) { owner.Reset(); }},
      {"reset to another",
       [](FailingCloseHandle& owner) {
         owner.Reset(reinterpret_cast<HANDLE>(8));
         (void)owner.Release();
       }},
      {"destruction", [](FailingCloseHandle& owner) { FailingCloseHandle(owner.Release()); }},
  };
  for (const auto& close : kCloses) {
    SCOPED_TRACE(close.what);
    FailingCloseHandle owner(reinterpret_cast<HANDLE>(4));
    SetLastError(ERROR_SHARING_VIOLATION);
    close.close(owner);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  }
}

}  // namespace
}  // namespace runtime
