#pragma once
// One installer or uninstaller at a time on the machine, in every session: each holds one named
// mutex for its whole run. An installer also holds a name of its own, by which a second installer
// sees that one is open and an uninstaller tells it from another uninstaller.

#include <windows.h>

#include "runtime/scoped_handle.h"

namespace app {

// What the one says when the other of the installer and the uninstaller runs.
inline constexpr char kInstallerRunning[] = "安装程序正在运行，请稍后再试。";
inline constexpr char kUninstallerRunning[] = "卸载程序正在运行，请稍后再试。";

// A mutex this thread owns: given up, then closed.
struct OwnedMutexTraits : runtime::KernelHandleTraits {
  static void Close(Handle mutex) {
    ReleaseMutex(mutex);
    CloseHandle(mutex);
  }
};
using SetupLock = runtime::GenericScopedHandle<OwnedMutexTraits>;

// Takes the mutex of installers and uninstallers; an empty lock when another program holds it.
[[nodiscard]] SetupLock TakeSetupLock();

// Claims the installer's own name for this run; empty when another installer holds it.
[[nodiscard]] runtime::ScopedHandle ClaimInstallerName();

// Whether an installer holds its name now.
[[nodiscard]] bool InstallerRuns();

// Brings the open installer's window, or the box it shows, to the front once the window exists;
// false when none appears within a few seconds (it runs in another session, where this one cannot
// see its windows).
[[nodiscard]] bool BringRunningInstallerToFront();

}  // namespace app
