#pragma once
// The seam of the finish button's start. Wine's desktop shell answers, and Wine's elevation is not
// Windows' (its user is an administrator whatever the manifest asks), so a test plays a shell that
// does not answer, or answers late, and an installer that runs elevated or not.

#include <windows.h>

#include <string>

#include "app/launch_as_user.h"

namespace app {

// Hands `program` to the desktop's shell to start in `folder`: the COM result.
using DesktopStart = HRESULT (*)(const std::wstring& program, const std::wstring& folder);
// The installer's own start of `program` in `folder`: true when it started.
using OwnStart = bool (*)(const std::wstring& program, const std::wstring& folder);

// What LaunchAsDesktopUser rests on.
struct LaunchSeam {
  DesktopStart desktopStart;
  OwnStart ownStart;
  bool elevated;           // whether the installer's token is elevated
  DWORD shellAnswerBound;  // milliseconds the desktop's shell may take
};

// The real parts: the desktop's shell, the shell's open, this process's elevation and
// kShellAnswerBound.
[[nodiscard]] LaunchSeam SystemLaunchSeam();

// LaunchAsDesktopUser on `seam`.
[[nodiscard]] LaunchWay LaunchAsDesktopUserForTesting(const std::wstring& program,
                                                      const LaunchSeam& seam);

}  // namespace app
