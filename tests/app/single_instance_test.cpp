// Another installer whose window's thread does not answer (it waits on a slow medium, or hangs):
// the second start must not wait for that thread.
#include "app/single_instance.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "runtime/scoped_handle.h"
#include "ui/main_window.h"

namespace {

// Far beyond what bringing a window forward takes; a call that waits for the thread never ends.
constexpr DWORD kBound = 10000;

struct Installer {
  runtime::ScopedHandle shown{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  runtime::ScopedHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// A minimised installer window whose thread then stops answering until released.
DWORD WINAPI RunHungInstaller(void* context) {
  const auto& installer = *static_cast<const Installer*>(context);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.lpszClassName = ui::kMainWindowClass;
  RegisterClassW(&windowClass);
  HWND window = CreateWindowExW(0, ui::kMainWindowClass, L"Veltrane installer", WS_OVERLAPPEDWINDOW,
                                0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ShowWindow(window, SW_SHOWMINIMIZED);
  SetEvent(installer.shown.Get());
  WaitForSingleObject(installer.release.Get(), INFINITE);
  DestroyWindow(window);
  return 0;
}

DWORD WINAPI BringToFront(void*) { return app::BringRunningInstallerToFront() ? 1 : 0; }

TEST(BringRunningInstallerToFront, DoesNotWaitForAWindowWhoseThreadDoesNotAnswer) {
  Installer installer;
  const runtime::ScopedHandle hung(
      CreateThread(nullptr, 0, &RunHungInstaller, &installer, 0, nullptr));
  ASSERT_EQ(WaitForSingleObject(installer.shown.Get(), kBound), WAIT_OBJECT_0);
  const runtime::ScopedHandle second(CreateThread(nullptr, 0, &BringToFront, nullptr, 0, nullptr));
  EXPECT_EQ(WaitForSingleObject(second.Get(), kBound), WAIT_OBJECT_0);
  SetEvent(installer.release.Get());
  WaitForSingleObject(second.Get(), INFINITE);
  WaitForSingleObject(hung.Get(), INFINITE);
  DWORD found = 0;
  EXPECT_TRUE(GetExitCodeThread(second.Get(), &found) && found == 1) << "the window was found";
}

}  // namespace
