#include "app/single_instance.h"

#include "ui/main_window.h"

namespace app {

namespace {

// In the global namespace: an installer in another user's session counts too.
constexpr wchar_t kSetupMutexName[] = L"Global\\Veltrane.Setup";
constexpr wchar_t kInstallerName[] = L"Global\\Veltrane.Setup.Installer";

// A second installer started together with the first looks for its window while it starts.
constexpr DWORD kWindowWait = 5000;
constexpr DWORD kWindowPoll = 50;

}  // namespace

SetupLock TakeSetupLock() {
  runtime::ScopedHandle mutex(CreateMutexW(nullptr, FALSE, kSetupMutexName));
  if (!mutex.Valid()) return {};
  const DWORD waited = WaitForSingleObject(mutex.Get(), 0);
  // A mutex whose holder ended without giving it up is abandoned, and owned all the same.
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return {};
  return SetupLock(mutex.Release());
}

runtime::ScopedHandle ClaimInstallerName() {
  runtime::ScopedHandle name(CreateMutexW(nullptr, FALSE, kInstallerName));
  // An existing name is opened all the same, and said so.
  if (GetLastError() == ERROR_ALREADY_EXISTS) name.Reset();
  return name;
}

bool InstallerRuns() {
  const runtime::ScopedHandle name(OpenMutexW(SYNCHRONIZE, FALSE, kInstallerName));
  // A name held by a program of another account may refuse to open, but is there.
  return name.Valid() || GetLastError() == ERROR_ACCESS_DENIED;
}

bool BringRunningInstallerToFront() {
  HWND window = FindWindowW(ui::kMainWindowClass, nullptr);
  for (DWORD waited = 0; window == nullptr && waited < kWindowWait; waited += kWindowPoll) {
    Sleep(kWindowPoll);
    window = FindWindowW(ui::kMainWindowClass, nullptr);
  }
  if (window == nullptr) return false;
  // Asynchronous: ShowWindow would wait for the other installer's thread, which does not answer
  // while it blocks (a slow medium, a stuck shell call) or hangs.
  if (IsIconic(window)) ShowWindowAsync(window, SW_RESTORE);
  // A box the installer shows (its question, a failure) stands in front of its window. The user
  // has just started this process, which lets it set the foreground window.
  SetForegroundWindow(GetLastActivePopup(window));
  return true;
}

}  // namespace app
