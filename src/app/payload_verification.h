#pragma once
// The installer's check of its own payload against the checksum the build recorded: started on a
// worker thread as the program starts, so that it runs while the user reads the window, and
// awaited before anything of an installation is removed or written.

#include "runtime/progress.h"

namespace app {

// Starts the check of the payload archive on a worker thread; where no thread can be had, checks it
// here. Called once, before the window is created and before any other thread asks for the result.
void StartPayloadVerification();

// The archive's bytes checked so far of all of them, for a window that shows the wait.
[[nodiscard]] const runtime::Progress& PayloadVerificationProgress();

// Blocks until the check has ended; true when the archive matches the build's checksum. Safe to
// call from any thread, any number of times.
[[nodiscard]] bool AwaitIntactPayload();

}  // namespace app
