#pragma once
// Starting other programs.

#include <windows.h>

#include <string>
#include <utility>

#include "runtime/scoped_handle.h"
#include "runtime/show_mode.h"

namespace runtime {

// Starts the command line as RunProgram does, without waiting: the process's handle, to wait on
// and read; an invalid one, with nothing else done, when it could not be started.
[[nodiscard]] ScopedHandle StartProgram(const std::wstring& commandLine, int showMode);

// The bytes of a program's error output CapturingProgram keeps: the last ones, where a failing
// console program names what went wrong.
inline constexpr unsigned long kCapturedErrorBytes = 4096;

// A hidden program whose standard error goes into a temporary file, deleted once the program and
// this object have both closed it.
class CapturingProgram {
 public:
  CapturingProgram(ScopedHandle process, ScopedHandle errorOutput, unsigned long startError)
      : process_(std::move(process)),
        errorOutput_(std::move(errorOutput)),
        startError_(startError) {}

  // Whether the program was started.
  [[nodiscard]] bool Started() const { return process_.Valid(); }
  // Why it was not: the Win32 error code of the failed start (0 when it was started).
  [[nodiscard]] unsigned long StartError() const { return startError_; }
  // The process's handle, to wait on and read its exit code from.
  [[nodiscard]] HANDLE Process() const { return process_.Get(); }

  // What the program wrote to its standard error, read in the OEM code page console programs
  // write in: the last kCapturedErrorBytes bytes at most, from the first whole line among them.
  // Empty when it wrote nothing or its output could not be captured. Read once it has ended.
  [[nodiscard]] std::wstring ErrorOutput() const;

 private:
  ScopedHandle process_;
  ScopedHandle errorOutput_;
  unsigned long startError_;
};

// Starts the command line hidden as StartProgram does, but with a temporary file as the
// program's standard error (its input and output stay the null device). Where no temporary file
// can be made it starts as StartProgram would, with nothing to capture. A non-empty
// `applicationName` is the program started, whatever the command line's first word names.
[[nodiscard]] CapturingProgram StartCapturingErrors(const std::wstring& commandLine,
                                                    const std::wstring& applicationName = {});

// Starts the wide command line hidden in `directory`, the one handle `inherited` (made
// inheritable by the caller) passed on and no other: the process's handle, or an invalid one.
[[nodiscard]] ScopedHandle StartInheriting(std::wstring commandLine, HANDLE inherited,
                                           const std::wstring& directory);

// Starts the command line as it is (no inherited handles, the caller's environment and directory)
// with the show mode, clamped to 1..6; a hidden console program gets no console window at all.
// With wait, returns once the process has ended and, when exitCode is given, stores its exit code
// there; without wait, gives it at most 1000 ms to become idle. True when the process was started;
// false, with nothing else done, when it could not be.
[[nodiscard]] bool RunProgram(const std::wstring& commandLine, bool wait,
                              int showMode = kShowNormal, unsigned long* exitCode = nullptr);

}  // namespace runtime
