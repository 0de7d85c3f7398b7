#pragma once
// Handing files to the shell.

#include <string>

#include "runtime/process.h"

namespace runtime {

// Shell verbs of OpenWithShell; any other number means the file's default verb.
inline constexpr int kVerbEdit = 1, kVerbExplore = 2, kVerbFind = 3, kVerbOpen = 4, kVerbPrint = 5;

// Makes the calling thread a single-threaded COM apartment, as the shell's folder dialog and its
// file handlers require (Windows' shell extensions are not as lenient as Wine). Called once, at
// start-up, on the user-interface thread; should it fail, the shell calls still try their best.
void EnterShellApartment();

// Hands the file to the shell with the verb, parameters and working directory (empty: none) and
// the show mode (0 or any value outside 1..6: normal). True when the shell opened it; false, with
// the reason as the thread's last error, when it could not.
[[nodiscard]] bool OpenWithShell(int verb, const std::wstring& file,
                                 const std::wstring& parameters = {},
                                 const std::wstring& directory = {}, int showMode = 0);

}  // namespace runtime
