#pragma once
// What the tests of the run's log reach beyond the product's interface.

#include <windows.h>

namespace runtime {

// Whether a folder with these attributes takes the logs: a plain folder only. An elevated run
// writes and deletes there, and a junction a program of the user put in its place would steer
// that into a system folder; Wine makes no junctions, so the decision is tested on attributes.
[[nodiscard]] bool IsUsableLogFolder(DWORD attributes);

}  // namespace runtime
