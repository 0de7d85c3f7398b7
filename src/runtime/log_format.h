#pragma once
// What a run's log looks like, apart from the system that writes it: the file's name, the
// time-stamped line, which older logs give way, and the decimal digits of numbers (the shipped
// exes carry no formatted printing).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace runtime {

// A moment on the local clock, as the system gives it.
struct LogTime {
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// How many logs of one kind stay in the log folder, this run's included.
inline constexpr std::size_t kRunLogsKept = 10;

// Appends the number's decimal digits to text, zeros in front up to `width` digits.
void AppendDecimal(std::string& text, std::uint64_t number, std::size_t width = 1);

// The number's decimal digits.
[[nodiscard]] std::string DecimalText(std::uint64_t number);

// The log file's name: "<kind>-YYYYMMDD-HHMMSS-<process id>.log".
[[nodiscard]] std::string RunLogName(std::string_view kind, const LogTime& time,
                                     std::uint32_t processId);

// Each non-empty line of the UTF-8 text (lines end at CR, LF or CR LF) as
// "YYYY-MM-DD HH:MM:SS.mmm <label><line>" ending in CR LF; nothing for a text without any.
[[nodiscard]] std::string StampedLines(const LogTime& time, std::string_view label,
                                       std::string_view text);

// Of the names found in the log folder, those of logs of `kind` to delete so that the `kept`
// newest remain, oldest first: only names RunLogName makes count, ordered by the time in them.
[[nodiscard]] std::vector<std::string> RunLogsToDelete(std::string_view kind,
                                                       std::vector<std::string> names,
                                                       std::size_t kept = kRunLogsKept);

}  // namespace runtime
