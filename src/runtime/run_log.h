#pragma once
// The log of one run: a UTF-8 file in the temporary folder of the user the program runs as
// (%TEMP%\Veltrane\<kind>-YYYYMMDD-HHMMSS-<process id>.log), one time-stamped line per event, so
// that support learns why an installation failed where the user only saw a fixed message.
// Logging never fails a run and changes nothing the user sees: without a log every call is
// silent. Every call may come from any thread, and none waits on the disk: a thread of the log's
// own writes what the calls queue.

#include <windows.h>

#include <string>
#include <string_view>

namespace runtime {

// Opens this run's log ("setup" or "uninstall" as kind, GBK like the version), deletes the oldest
// logs of that kind beyond the newest 10 (this one included), and writes the first lines:
// "<product> <kind> <version>", Windows' own version and build, the ANSI and OEM code pages, this
// exe's path. Where the folder or the file cannot be made or written, the run goes on without a
// log. The folder is made, checked and rotated, and the file made, on the writer thread.
void OpenRunLog(std::string_view kind, std::wstring_view product, std::string_view version);

// Writes the GBK text, each of its lines time-stamped; nothing when no log is open.
void Log(std::string_view gbkText);

// Writes the UTF-16 text, such as a line naming a path, with every letter it holds.
void Log(std::wstring_view text);

// The system's text for a Win32 error code, in the user's language, without a line break; empty
// when it has none.
[[nodiscard]] std::wstring SystemErrorText(unsigned long error);

// Writes "<what>: error <code>: <the system's text for the code>" (GBK what).
void LogFailure(std::string_view gbkWhat, unsigned long error);

// Writes each line of a program's output as "<label>: <line>" (GBK label).
void LogOutput(std::string_view gbkLabel, std::wstring_view output);

// Writes "exit code <code>" and closes the log, waiting a moment at most for the lines still
// queued; later calls write nothing.
void CloseRunLog(unsigned long exitCode);

// One step of a run, timed from its construction: logs "<name>: start", and at End its result
// and duration in milliseconds.
class LoggedStep {
 public:
  explicit LoggedStep(std::string_view gbkName);
  // A step named in UTF-16, such as one naming a path.
  explicit LoggedStep(std::wstring_view name);
  LoggedStep(const LoggedStep&) = delete;
  LoggedStep& operator=(const LoggedStep&) = delete;

  // Logs "<name>: ok, <n> ms", or on failure "<name>: failed, <n> ms", followed by
  // ", error <code>: <the system's text>" when an error code other than 0 is given.
  void End(bool succeeded, unsigned long error = ERROR_SUCCESS) const;

 private:
  std::string name_;  // UTF-8
  ULONGLONG start_;
};

}  // namespace runtime
