// The handle owner leaves the thread's last error to the call that failed.
#include "runtime/scoped_handle.h"

#include <gtest/gtest.h>

namespace runtime {
namespace {

// A handle whose close fails the way a close can, setting an error of its own.
struct FailingCloseTraits : KernelHandleTraits {
  static void Close(Handle) { SetLastError(ERROR_INVALID_HANDLE); }
};
using FailingCloseHandle = GenericScopedHandle<FailingCloseTraits>;

TEST(ScopedHandle, ResetAndDestructionKeepTheLastErrorOfTheCallThatFailed) {
  for (const bool destroyed : {false, true}) {
    FailingCloseHandle owner(reinterpret_cast<HANDLE>(4));
    SetLastError(ERROR_SHARING_VIOLATION);
    if (destroyed) {
      FailingCloseHandle(owner.Release());
    } else {
      owner.Reset();
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << destroyed;
  }
}

}  // namespace
}  // namespace runtime
