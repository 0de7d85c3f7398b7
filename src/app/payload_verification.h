#pragma once
// The installer's check of its own payload against the checksum the build recorded: started on a
// worker thread as the program starts, so that it runs while the user reads the window, and
// awaited before anything of an installation is removed or written.

#include <windows.h>

#include "runtime/progress.h"

namespace app {

// What the check came to: the archive matches the build's checksum, differs from it, or could not
// be read from the installer's file (a failing medium).
enum class PayloadCheck { kIntact, kDamaged, kUnreadable };

// Starts the check of the payload archive on a worker thread; where no thread can be had, checks it
// here. Called once, before the window is created and before anything asks for the result.
void StartPayloadVerification();

// The archive's bytes checked so far of all of them, for a window that shows the wait.
[[nodiscard]] const runtime::Progress& PayloadVerificationProgress();

// The check's worker, signalled once the check has ended, and from now on at normal priority, as
// someone waits for it; null when the check ran as the program started. Asked on one thread.
[[nodiscard]] HANDLE PayloadVerificationToAwait();

// What the check came to, and the Win32 error of the read that failed for kUnreadable. Asked once
// the check has ended.
[[nodiscard]] PayloadCheck PayloadCheckResult();
[[nodiscard]] unsigned long PayloadReadError();

}  // namespace app
