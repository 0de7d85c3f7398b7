#pragma once
// What the tests of the run's log reach beyond the product's interface.

#include <windows.h>

namespace runtime {

// Whether a folder with these attributes takes the logs: a plain folder only. An elevated run
// writes and deletes there, and a junction a program of the user put in its place would steer
// that into a system folder; Wine makes no junctions, so the decision is tested on attributes.
[[nodiscard]] bool IsUsableLogFolder(DWORD attributes);

// Whether a log folder owned by `owner` takes the logs of a run as `user`: owned by that user or
// by the administrators, never by another account, which could have set its ACL as it liked.
// Wine gives every file the user's SID, so the decision is tested on SIDs.
[[nodiscard]] bool IsTrustedLogFolderOwner(PSID owner, PSID user);

// While `gate` (an event) is not set, the log's writer waits before each write it makes, as it
// would on a slow temporary folder; null lets it write again.
void HoldRunLogWritesForTesting(HANDLE gate);

}  // namespace runtime
