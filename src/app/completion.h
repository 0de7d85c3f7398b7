#pragma once
// The end of an installation whose files are in place. The window says "done" only once that is
// true: a run ended the moment the Done look shows (a crash, the task manager, a tool that ends
// the installer on that look) still leaves an installation that the start-up check, Settings and
// the game find.

namespace app {

// Calls, in this order: `writeRecord()` (the record and the Apps entry; false when the record's
// key could not be created or opened), `writePathRecord()`, `showDone()`, and then, only when the
// record could not be written, `tellRecordFailed()`.
template <typename WriteRecord, typename WritePathRecord, typename ShowDone, typename Tell>
void CompleteInstallation(const WriteRecord& writeRecord, const WritePathRecord& writePathRecord,
                          const ShowDone& showDone, const Tell& tellRecordFailed) {
  const bool recorded = writeRecord();
  writePathRecord();
  showDone();
  if (!recorded) tellRecordFailed();
}

}  // namespace app
