#pragma once
// What the benchmark measures and how: starting programs the way their users start them, the
// clock, memory counters, waits that sample memory meanwhile, and the series of figures a run
// collects.
// windows.h first: psapi.h builds on its types.
// clang-format off
#include <windows.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "runtime/scoped_handle.h"

namespace bench {

inline constexpr wchar_t kInstallRoot[] = L"C:\\Quorvale\\";
inline constexpr wchar_t kNsisRoot[] = L"C:\\QuorvaleNsis";
inline constexpr wchar_t kSfxRoot[] = L"C:\\QuorvaleSfx\\";
inline constexpr DWORD kInstallTimeout = 300000;

// Prints one line of the report and flushes it.
void Say(const std::string& line);

// The path with every '/' turned into '\\'.
[[nodiscard]] std::wstring WindowsPath(std::wstring path);

// Milliseconds on the performance counter since an arbitrary start.
[[nodiscard]] double NowMs();

// The size of a file in bytes; nothing when it cannot be read.
[[nodiscard]] std::optional<ULONGLONG> FileSize(const std::wstring& path);

// Undoes everything an installation of any of the three leaves behind.
void CleanMachine();

// How a program is started: a GUI program without this console (as from Explorer); a console
// program in a hidden console of its own (the self-extractor, as a user starts it); a console
// program without any console, printing into the null device (the extractor, as the installer
// starts it). None of them writes into this program's output.
enum class Subsystem { Gui, Console, WindowlessConsole };

// Starts the command line as the subsystem says; nothing when it cannot be started.
[[nodiscard]] std::optional<driver::Process> StartProgram(const std::wstring& commandLine,
                                                          Subsystem subsystem);

// The milliseconds the newest run log of the installer (in the user's temporary folder) gives the
// step whose line begins with `step` and ends in ": ok, N ms"; nothing without such a line.
[[nodiscard]] std::optional<double> LoggedStepMs(const std::string& step);

// The highest working set and private bytes seen of one process. Private bytes are read as
// PagefileUsage, the process's private commit, which equals PrivateUsage on Windows; Wine fills
// only the fields of the short PROCESS_MEMORY_COUNTERS and leaves PrivateUsage at 0.
struct MemoryPeak {
  SIZE_T workingSet = 0;
  SIZE_T privateBytes = 0;

  // Takes the process's present counters into the peaks.
  void Sample(HANDLE process);
};

// The process's private bytes right now; 0 when they cannot be read.
[[nodiscard]] SIZE_T PrivateBytes(HANDLE process);

// Polls a condition about every millisecond while sampling the process's memory; false when it
// did not come true within the timeout.
[[nodiscard]] bool PollWhileSampling(const std::function<bool()>& condition, HANDLE process,
                                     MemoryPeak& peak, DWORD timeout);

// Waits for the process to end, sampling its memory while it runs; its exit code, or nothing on
// timeout.
[[nodiscard]] std::optional<DWORD> WaitForExitSampling(driver::Process& process, MemoryPeak& peak,
                                                       DWORD timeout);

// The first visible top-level window of the process, polled about every millisecond; null when
// none appeared in time or the process ended.
[[nodiscard]] HWND WaitForShownWindow(const driver::Process& process, DWORD timeout);

// The running child of a process started from an exe of the given name, opened to read its times;
// null while there is none.
[[nodiscard]] runtime::ScopedHandle OpenChildProcess(DWORD parentId, const wchar_t* exeName);

// Milliseconds from the creation to the exit of an ended process, by the system's own records.
[[nodiscard]] std::optional<double> Lifetime(HANDLE process);

// Milliseconds of several runs of one measurement.
class Series {
 public:
  void Add(double value) { values_.push_back(value); }
  [[nodiscard]] bool Empty() const { return values_.empty(); }
  [[nodiscard]] double Median() const {
    std::vector<double> sorted = values_;
    std::sort(sorted.begin(), sorted.end());
    const size_t middle = sorted.size() / 2;
    return sorted.size() % 2 == 1 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
  }
  [[nodiscard]] double Min() const { return *std::min_element(values_.begin(), values_.end()); }
  [[nodiscard]] double Max() const { return *std::max_element(values_.begin(), values_.end()); }
  [[nodiscard]] size_t Count() const { return values_.size(); }
  [[nodiscard]] double Last() const { return values_.back(); }
  // "median (min–max)", or the reason there is no figure.
  [[nodiscard]] std::string Describe(const std::string& missing) const {
    if (Empty()) return missing;
    char text[96];
    std::snprintf(text, sizeof(text), "%.0f (%.0f–%.0f)", Median(), Min(), Max());
    return text;
  }

 private:
  std::vector<double> values_;
};

// What the benchmark found of one installer.
struct Figures {
  Series installMs;
  Series startupMs;
  Series writingMs;         // from the click to the Unpacking look: the archive written out
  Series childExtractorMs;  // the life of the installer's own extractor child
  Series ownOverheadMs;     // each install less its extractor child's life
  Series archiveWriteMs;    // the archive's write, as the installer's run log times it
  Series ownBesideWriteMs;  // each install less its extractor child's life and the archive's write
  SIZE_T peakWorkingSet = 0;
  SIZE_T peakPrivateBytes = 0;
  SIZE_T idlePrivateBytes = 0;  // the largest seen at idle
  SIZE_T privateAboveIdle = 0;  // the largest peak − idle of one install
  std::optional<ULONGLONG> exeSize;
  std::optional<ULONGLONG> payloadSize;
  std::string failure;  // the first thing that went wrong, if anything did
};

// Figures taken pair by pair: each install of the installer with what ran right after it.
struct Paired {
  Series extractorMs;   // the extractor alone
  Series overheadMs;    // each install less the extractor run right after it
  Series launchCostMs;  // starting and awaiting the bare extractor, outside its own life
  Series ratioToSfx;    // each install's time over the SFX install of the same run
  Series ratioToNsis;   // each install's time over the NSIS install of the same run
};

}  // namespace bench
