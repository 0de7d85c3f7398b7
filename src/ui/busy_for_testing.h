#pragma once
// The step's wait as a seam: Wine's message wait does not fail, Windows' can (a handle closed
// under it, no memory for the wait), and a step must not return while its worker runs on.

#include <windows.h>

#include "ui/busy.h"

namespace ui {

// MsgWaitForMultipleObjectsEx's shape.
using MessageWait = DWORD(WINAPI*)(DWORD count, const HANDLE* handles, DWORD milliseconds,
                                   DWORD wakeMask, DWORD flags);

// RunWhileLive with `work` on a worker, the messages awaited through `wait`.
void RunWhileLiveForTesting(HWND window, const Meter& meter, void (*work)(void*), void* context,
                            const OnClose& onClose, MessageWait wait);

}  // namespace ui
