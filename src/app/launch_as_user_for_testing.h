#pragma once
// The seam of the finish button's start: the desktop shell's part replaced, so that a test under
// Wine, whose desktop shell may answer, can play one that does not (no Explorer running).

#include <windows.h>

#include <string>

namespace app {

// Hands `program` to the desktop's shell to start in `folder`: the COM result.
using DesktopStart = HRESULT (*)(const std::wstring& program, const std::wstring& folder);

// Makes `start` the desktop shell's part of LaunchAsDesktopUser (null: the real one again);
// returns the one it replaces.
DesktopStart ReplaceDesktopStartForTesting(DesktopStart start);

}  // namespace app
