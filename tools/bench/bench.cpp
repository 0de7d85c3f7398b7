// Measures the installer against two peer installers on the same payload, in one run, and prints
// one Markdown table: install time next to the bare extractor, start-up latency, size overhead and
// memory, with each of the installer's targets marked as met or not.
//
// bench.exe --dist DIR --archive FILE --nsis EXE --nsis-data BYTES --sfx EXE [--runs N]
//   DIR holds VeltraneSetup.exe and lib\7z.exe; FILE is the archive the installer embeds; EXE of
//   --nsis is an NSIS installer (installs silently with /S) whose compressed data is BYTES long;
//   EXE of --sfx is 7-Zip's console self-extractor with FILE appended. Paths may use '/'.
// windows.h first: psapi.h builds on its types.
// clang-format off
#include <windows.h>
// clang-format on
#include <psapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "runtime/scoped_handle.h"
#include "ui/controls.h"

namespace {

constexpr wchar_t kInstallRoot[] = L"C:\\Quorvale\\";
constexpr wchar_t kNsisRoot[] = L"C:\\QuorvaleNsis";
constexpr wchar_t kSfxRoot[] = L"C:\\QuorvaleSfx\\";
constexpr wchar_t kRecordKey[] = L"SOFTWARE\\VELTRANE";
constexpr DWORD kInstallTimeout = 300000;
constexpr SIZE_T kPrivateBytesAllowance = 4 * 1024 * 1024;
// Everything the exe carries besides the payload, the uninstaller included.
constexpr ULONGLONG kSizeOverheadLimit = 64 * 1024;

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::wstring WindowsPath(std::wstring path) {
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

// Milliseconds on the performance counter since an arbitrary start.
double NowMs() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER value{};
    QueryPerformanceFrequency(&value);
    return value.QuadPart;
  }();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency);
}

// The size of a file in bytes; nothing when it cannot be read.
[[nodiscard]] std::optional<ULONGLONG> FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Undoes everything an installation of any of the three leaves behind.
void CleanMachine() {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, view, 0);
  }
  for (const wchar_t* root : {kInstallRoot, kNsisRoot, kSfxRoot}) {
    std::wstring path = root;
    if (path.back() == L'\\') path.pop_back();
    driver::RemoveTree(path);
  }
  wchar_t appData[MAX_PATH] = {};
  if (SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE)) {
    DeleteFileW((std::wstring(appData) + L"\\path.dat").c_str());
  }
}

// How a program is started: a GUI program without this console (as from Explorer); a console
// program in a hidden console of its own (the self-extractor, as a user starts it); a console
// program without any console, printing into the null device (the extractor, as the installer
// starts it). None of them writes into this program's output.
enum class Subsystem { Gui, Console, WindowlessConsole };

[[nodiscard]] std::optional<driver::Process> StartProgram(const std::wstring& commandLine,
                                                          Subsystem subsystem) {
  std::wstring mutableLine = commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  DWORD flags = DETACHED_PROCESS;
  BOOL inherit = FALSE;
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  runtime::ScopedHandle nullDevice;
  if (subsystem != Subsystem::Gui) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    flags = subsystem == Subsystem::Console ? CREATE_NEW_CONSOLE : CREATE_NO_WINDOW;
  }
  if (subsystem == Subsystem::WindowlessConsole) {
    nullDevice.Reset(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                                 nullptr));
    if (!nullDevice.Valid()) return std::nullopt;
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nullDevice.Get();
    inherit = TRUE;
  }
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, inherit, flags, nullptr,
                      nullptr, &startup, &info)) {
    return std::nullopt;
  }
  CloseHandle(info.hThread);
  return driver::Process(info.hProcess, info.dwProcessId);
}

// The highest working set and private bytes seen of one process. Private bytes are read as
// PagefileUsage, the process's private commit, which equals PrivateUsage on Windows; Wine fills
// only the fields of the short PROCESS_MEMORY_COUNTERS and leaves PrivateUsage at 0.
struct MemoryPeak {
  SIZE_T workingSet = 0;
  SIZE_T privateBytes = 0;

  void Sample(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof(counters))) {
      return;
    }
    workingSet = std::max({workingSet, counters.PeakWorkingSetSize, counters.WorkingSetSize});
    privateBytes = std::max({privateBytes, counters.PeakPagefileUsage, counters.PagefileUsage});
  }
};

// The process's private bytes right now; 0 when they cannot be read.
[[nodiscard]] SIZE_T PrivateBytes(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof(counters))) {
    return 0;
  }
  return counters.PagefileUsage;
}

// Polls a condition about every millisecond while sampling the process's memory; false when it
// did not come true within the timeout.
bool PollWhileSampling(const std::function<bool()>& condition, HANDLE process, MemoryPeak& peak,
                       DWORD timeout) {
  const double deadline = NowMs() + timeout;
  for (;;) {
    peak.Sample(process);
    if (condition()) return true;
    if (NowMs() > deadline) return false;
    Sleep(1);
  }
}

// Waits for the process to end, sampling its memory while it runs; its exit code, or nothing on
// timeout.
[[nodiscard]] std::optional<DWORD> WaitForExitSampling(driver::Process& process, MemoryPeak& peak,
                                                       DWORD timeout) {
  const double deadline = NowMs() + timeout;
  while (WaitForSingleObject(process.Handle(), 1) == WAIT_TIMEOUT) {
    peak.Sample(process.Handle());
    if (NowMs() > deadline) return std::nullopt;
  }
  return process.WaitForExit(0);
}

// The first visible top-level window of the process, polled about every millisecond; null when
// none appeared in time or the process ended.
[[nodiscard]] HWND WaitForShownWindow(const driver::Process& process, DWORD timeout) {
  const double deadline = NowMs() + timeout;
  while (NowMs() <= deadline && process.Running()) {
    if (HWND window = driver::FindShownWindow(process.Id()); window != nullptr) return window;
    Sleep(1);
  }
  return nullptr;
}

// The running child of a process started from an exe of the given name, opened to read its times;
// null while there is none.
[[nodiscard]] runtime::ScopedHandle OpenChildProcess(DWORD parentId, const wchar_t* exeName) {
  const runtime::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.Valid()) return {};
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ParentProcessID == parentId && _wcsicmp(entry.szExeFile, exeName) == 0) {
      return runtime::ScopedHandle(
          OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    }
  }
  return {};
}

// Milliseconds from the creation to the exit of an ended process, by the system's own records.
[[nodiscard]] std::optional<double> Lifetime(HANDLE process) {
  FILETIME created{};
  FILETIME exited{};
  FILETIME kernel{};
  FILETIME user{};
  if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0 ||
      !GetProcessTimes(process, &created, &exited, &kernel, &user)) {
    return std::nullopt;
  }
  const auto ticks = [](FILETIME time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return static_cast<double>(ticks(exited) - ticks(created)) / 10000.0;
}

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
  SIZE_T peakWorkingSet = 0;
  SIZE_T peakPrivateBytes = 0;
  SIZE_T idlePrivateBytes = 0;  // the largest seen at idle
  SIZE_T privateAboveIdle = 0;  // the largest peak − idle of one install
  std::optional<ULONGLONG> exeSize;
  std::optional<ULONGLONG> payloadSize;
  std::string failure;  // the first thing that went wrong, if anything did
};

struct Options {
  std::wstring dist;
  std::wstring archive;
  std::wstring nsis;
  std::wstring sfx;
  std::optional<ULONGLONG> nsisDataBytes;
  int runs = 7;
};

[[nodiscard]] std::optional<Options> ParseOptions(int argc, wchar_t** argv) {
  std::map<std::wstring, std::wstring> values;
  for (int index = 1; index + 1 < argc; index += 2) values[argv[index]] = argv[index + 1];
  if (argc % 2 == 0) return std::nullopt;
  Options options;
  options.dist = WindowsPath(values[L"--dist"]);
  options.archive = WindowsPath(values[L"--archive"]);
  options.nsis = WindowsPath(values[L"--nsis"]);
  options.sfx = WindowsPath(values[L"--sfx"]);
  if (values.contains(L"--nsis-data"))
    options.nsisDataBytes = _wtoi64(values[L"--nsis-data"].c_str());
  if (values.contains(L"--runs")) options.runs = _wtoi(values[L"--runs"].c_str());
  if (options.dist.empty() || options.archive.empty() || options.runs < 1) return std::nullopt;
  return options;
}

struct ExtractorRun {
  double elapsedMs = 0;   // from before starting it to having seen it end
  double lifetimeMs = 0;  // the process's own life, creation to exit
};

// Copies the archive into an empty install root and times the extractor on it with the very
// command line the installer runs.
[[nodiscard]] std::optional<ExtractorRun> TimeExtractorAlone(const Options& options) {
  CleanMachine();
  const std::wstring root = kInstallRoot;
  if (!CreateDirectoryW(root.c_str(), nullptr)) return std::nullopt;
  if (!CopyFileW(options.archive.c_str(), (root + L"\\brisel.7z").c_str(), FALSE)) {
    return std::nullopt;
  }
  const std::wstring commandLine =
      options.dist + L"\\lib\\7z.exe x " + root + L"\\brisel.7z -o" + root + L" -aoa";
  const double start = NowMs();
  auto extractor = StartProgram(commandLine, Subsystem::WindowlessConsole);
  if (!extractor || !extractor->WaitForExit(kInstallTimeout)) return std::nullopt;
  const double elapsed = NowMs() - start;
  const auto lifetime = Lifetime(extractor->Handle());
  if (!lifetime) return std::nullopt;
  return ExtractorRun{elapsed, *lifetime};
}

// Starts the installer on a clean machine and waits until its window shows with the start-up
// check done; the milliseconds that took, or nothing.
[[nodiscard]] std::optional<double> LaunchInstaller(const Options& options,
                                                    driver::Process& installer, HWND& window) {
  CleanMachine();
  const double start = NowMs();
  auto started = StartProgram(L"\"" + options.dist + L"\\VeltraneSetup.exe\"", Subsystem::Gui);
  if (!started) return std::nullopt;
  installer = std::move(*started);
  window = WaitForShownWindow(installer, driver::kDefaultTimeout);
  if (window == nullptr || !driver::Settle(window)) return std::nullopt;
  return NowMs() - start;
}

// One install with the installer: start-up, idle memory, then click to Done look.
void MeasureInstallerRun(const Options& options, Figures& figures) {
  driver::Process installer;
  HWND window = nullptr;
  const auto startup = LaunchInstaller(options, installer, window);
  if (!startup) {
    figures.failure = "the installer's window did not show";
    return;
  }
  figures.startupMs.Add(*startup);
  Sleep(200);  // let the freshly shown window finish its first paints before reading idle memory
  driver::Settle(window);
  const SIZE_T idle = PrivateBytes(installer.Handle());
  const HWND finish = driver::Control(window, static_cast<int>(ui::Control::按钮_安装完成));
  const HWND unpacking = driver::Control(window, static_cast<int>(ui::Control::标签_正在解压));
  MemoryPeak peak;
  std::optional<double> unpackingSeenMs;
  runtime::ScopedHandle extractor;
  const double start = NowMs();
  driver::Click(driver::Control(window, static_cast<int>(ui::Control::按钮_安装)));
  const bool done = PollWhileSampling(
      [&] {
        if (!unpackingSeenMs && driver::IsVisible(unpacking)) unpackingSeenMs = NowMs() - start;
        if (unpackingSeenMs && !extractor.Valid()) {
          extractor = OpenChildProcess(installer.Id(), L"7z.exe");
        }
        return driver::IsVisible(finish);
      },
      installer.Handle(), peak, kInstallTimeout);
  const double elapsed = NowMs() - start;
  if (!done) {
    figures.failure = "the installer did not reach its Done look";
    return;
  }
  figures.installMs.Add(elapsed);
  if (unpackingSeenMs) figures.writingMs.Add(*unpackingSeenMs);
  if (const auto extracting = extractor.Valid() ? Lifetime(extractor.Get()) : std::nullopt) {
    figures.childExtractorMs.Add(*extracting);
    figures.ownOverheadMs.Add(elapsed - *extracting);
  }
  figures.peakWorkingSet = std::max(figures.peakWorkingSet, peak.workingSet);
  figures.peakPrivateBytes = std::max(figures.peakPrivateBytes, peak.privateBytes);
  figures.idlePrivateBytes = std::max(figures.idlePrivateBytes, idle);
  figures.privateAboveIdle =
      std::max(figures.privateAboveIdle, peak.privateBytes > idle ? peak.privateBytes - idle : 0);
}

// A peer's start-up: to its first visible window (the NSIS wizard), or, for a program without
// a window, to its exit after `startupArguments` (7-Zip's self-extractor opening its archive and
// finding nothing to extract).
void MeasurePeerStartup(const std::wstring& exe, const std::wstring& startupArguments,
                        bool hasWindow, Figures& figures) {
  CleanMachine();
  const double start = NowMs();
  auto peer = StartProgram(L"\"" + exe + L"\"" + startupArguments,
                           hasWindow ? Subsystem::Gui : Subsystem::Console);
  if (!peer) {
    figures.failure = "could not be started";
    return;
  }
  if (hasWindow) {
    const HWND window = WaitForShownWindow(*peer, driver::kDefaultTimeout);
    if (window == nullptr || !driver::Settle(window)) {
      figures.failure = "its window did not show";
      return;
    }
    figures.startupMs.Add(NowMs() - start);
    Sleep(200);
    driver::Settle(window);
    figures.idlePrivateBytes = std::max(figures.idlePrivateBytes, PrivateBytes(peer->Handle()));
    return;  // the wizard is ended when `peer` goes away
  }
  if (peer->WaitForExit(kInstallTimeout) != 0UL) {
    figures.failure = "its start-up run failed";
    return;
  }
  figures.startupMs.Add(NowMs() - start);
}

// A peer's silent install, timed from its start to its exit.
void MeasurePeerInstall(const std::wstring& exe, const std::wstring& installArguments,
                        const std::wstring& installedCheck, Subsystem subsystem, Figures& figures) {
  CleanMachine();
  MemoryPeak peak;
  const double start = NowMs();
  auto peer = StartProgram(L"\"" + exe + L"\"" + installArguments, subsystem);
  if (!peer) {
    figures.failure = "could not be started";
    return;
  }
  const auto exitCode = WaitForExitSampling(*peer, peak, kInstallTimeout);
  const double elapsed = NowMs() - start;
  if (exitCode != 0UL || GetFileAttributesW(installedCheck.c_str()) == INVALID_FILE_ATTRIBUTES) {
    figures.failure = "its silent install failed";
    return;
  }
  figures.installMs.Add(elapsed);
  figures.peakWorkingSet = std::max(figures.peakWorkingSet, peak.workingSet);
  figures.peakPrivateBytes = std::max(figures.peakPrivateBytes, peak.privateBytes);
}

std::string Mebibytes(std::optional<ULONGLONG> bytes) {
  if (!bytes || *bytes == 0) return "n/a";
  char text[48];
  std::snprintf(text, sizeof(text), "%.2f MiB", static_cast<double>(*bytes) / (1024.0 * 1024.0));
  return text;
}

std::string Bytes(std::optional<ULONGLONG> bytes) {
  if (!bytes) return "n/a";
  // Thousands separated, as the installer's documentation writes sizes.
  const std::string digits = std::to_string(*bytes);
  std::string grouped;
  for (size_t index = 0; index < digits.size(); ++index) {
    if (index > 0 && (digits.size() - index) % 3 == 0) grouped += ',';
    grouped += digits[index];
  }
  return grouped;
}

std::optional<ULONGLONG> SizeOverhead(const Figures& figures) {
  if (!figures.exeSize || !figures.payloadSize || *figures.payloadSize > *figures.exeSize) {
    return std::nullopt;
  }
  return *figures.exeSize - *figures.payloadSize;
}

std::string Verdict(bool met) { return met ? "**met**" : "**not met**"; }

void PrintTable(const Options& options, const Figures& veltrane, const Series& extractorMs,
                const Series& pairedOverheadMs, const Series& launchCostMs,
                const Series& ratioToSfx, const Figures& nsis, const Figures& sfx) {
  const auto cell = [](const Figures& figures, const std::string& value) {
    return figures.failure.empty() ? value : "failed: " + figures.failure;
  };
  const auto row = [&](const std::string& name, const std::string& a, const std::string& b,
                       const std::string& c) {
    Say("| " + name + " | " + a + " | " + b + " | " + c + " |");
  };
  char text[160];

  Say("Runs per figure: " + std::to_string(options.runs) + "; times in ms as median (min–max).");
  Say("");
  row("", "Veltrane installer", "NSIS (solid LZMA, /S)", "7-Zip SFX (7zCon.sfx, -y -o)");
  Say("|---|---|---|---|");
  row("install time (ms)", cell(veltrane, veltrane.installMs.Describe("n/a")),
      cell(nsis, nsis.installMs.Describe("n/a")), cell(sfx, sfx.installMs.Describe("n/a")));
  row("extractor alone, same archive and command line (ms)", extractorMs.Describe("failed"), "–",
      "–");
  if (!veltrane.installMs.Empty() && !extractorMs.Empty()) {
    const double overhead = veltrane.installMs.Median() - extractorMs.Median();
    std::snprintf(text, sizeof(text), "%.0f ms = %.1f %% of the install time", overhead,
                  100.0 * overhead / veltrane.installMs.Median());
    row("installer's own overhead (medians)", text, "–", "–");
  } else {
    row("installer's own overhead (medians)", "n/a", "–", "–");
  }
  row("install − extractor of the same run (ms)", pairedOverheadMs.Describe("n/a"), "–", "–");
  row("of the install: click to Unpacking look, archive written (ms)",
      veltrane.writingMs.Describe("n/a"), "–", "–");
  row("of the install: its extractor child's life, creation to exit (ms)",
      veltrane.childExtractorMs.Describe("n/a"), "–", "–");
  row("of the install: outside its extractor child's life (ms)",
      veltrane.ownOverheadMs.Describe("n/a"), "–", "–");
  row("bare extractor: starting and awaiting it, outside its own life (ms)",
      launchCostMs.Describe("n/a"), "–", "–");
  // What the installer adds to running the extractor: its time outside the child's life, less
  // what starting and awaiting the same console program costs anyone.
  std::optional<double> ownShare;
  if (!veltrane.ownOverheadMs.Empty() && !launchCostMs.Empty()) {
    const double own = veltrane.ownOverheadMs.Median() - launchCostMs.Median();
    ownShare = 100.0 * own / veltrane.installMs.Median();
    std::snprintf(text, sizeof(text), "%.0f ms = %.1f %% of the install time", own, *ownShare);
    row("installer's own overhead (outside the child's life, less the bare launch cost)", text, "–",
        "–");
  }
  if (!ratioToSfx.Empty()) {
    std::snprintf(text, sizeof(text), "%.3f (%.3f–%.3f)", ratioToSfx.Median(), ratioToSfx.Min(),
                  ratioToSfx.Max());
    row("install time ÷ the SFX's of the same run", text, "–", "1");
  }
  row("start-up latency (ms)", cell(veltrane, veltrane.startupMs.Describe("n/a")),
      cell(nsis, nsis.startupMs.Describe("n/a") + " to its wizard"),
      cell(sfx, sfx.startupMs.Describe("n/a") + " to opening its archive (no window)"));
  row("exe size (bytes)", Bytes(veltrane.exeSize), Bytes(nsis.exeSize), Bytes(sfx.exeSize));
  row("payload carried (bytes)", Bytes(veltrane.payloadSize), Bytes(nsis.payloadSize),
      Bytes(sfx.payloadSize));
  row("size overhead = exe − payload (bytes)", Bytes(SizeOverhead(veltrane)),
      Bytes(SizeOverhead(nsis)), Bytes(SizeOverhead(sfx)));
  row("peak working set", Mebibytes(veltrane.peakWorkingSet), Mebibytes(nsis.peakWorkingSet),
      Mebibytes(sfx.peakWorkingSet));
  row("peak private bytes", Mebibytes(veltrane.peakPrivateBytes), Mebibytes(nsis.peakPrivateBytes),
      Mebibytes(sfx.peakPrivateBytes));
  row("idle private bytes (window shown)", Mebibytes(veltrane.idlePrivateBytes),
      Mebibytes(nsis.idlePrivateBytes), "no window");
  row("peak private bytes above idle", Mebibytes(veltrane.privateAboveIdle), "–", "–");
  row("payload archive size", Mebibytes(veltrane.payloadSize), "", "");

  Say("");
  Say("Targets of the Veltrane installer:");
  // Judged pair by pair: the machine's load drifts over a run, and each pair shares its moment.
  Say("- install time no more than the 7-Zip SFX's (median of the per-run ratio): " +
      (ratioToSfx.Empty() ? "**not measured**" : Verdict(ratioToSfx.Median() <= 1.0)));
  const auto ownOverhead = SizeOverhead(veltrane);
  std::snprintf(text, sizeof(text), "- size overhead at most %llu bytes: ", kSizeOverheadLimit);
  Say(text + (ownOverhead ? Verdict(*ownOverhead <= kSizeOverheadLimit) : "**not measured**"));
  Say("- idle private bytes no more than NSIS's: " +
      (veltrane.failure.empty() && nsis.failure.empty()
           ? Verdict(veltrane.idlePrivateBytes <= nsis.idlePrivateBytes)
           : "**not measured**"));
  Say("- peak private bytes at most 4 MiB above the idle process: " +
      (veltrane.failure.empty() ? Verdict(veltrane.privateAboveIdle <= kPrivateBytesAllowance)
                                : "**not measured**"));
  const bool startupKnown =
      !veltrane.startupMs.Empty() && !nsis.startupMs.Empty() && !sfx.startupMs.Empty();
  Say("- start-up latency no worse than either peer's: " +
      (startupKnown ? Verdict(veltrane.startupMs.Median() <= nsis.startupMs.Median() &&
                              veltrane.startupMs.Median() <= sfx.startupMs.Median())
                    : "**not measured**"));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const auto options = ParseOptions(argc, argv);
  if (!options) {
    Say("usage: bench.exe --dist DIR --archive FILE --nsis EXE --nsis-data BYTES --sfx EXE "
        "[--runs N]");
    return 2;
  }
  Figures veltrane;
  Figures nsis;
  Figures sfx;
  Series extractorMs;
  Series pairedOverheadMs;  // each install less the extractor run right after it
  Series launchCostMs;      // starting and awaiting the bare extractor, outside its own life
  Series ratioToSfx;        // each install's time over the SFX install of the same run
  veltrane.exeSize = FileSize(options->dist + L"\\VeltraneSetup.exe");
  veltrane.payloadSize = FileSize(options->archive);
  nsis.exeSize = FileSize(options->nsis);
  nsis.payloadSize = options->nsisDataBytes;
  sfx.exeSize = FileSize(options->sfx);
  sfx.payloadSize = veltrane.payloadSize;
  if (!nsis.exeSize) nsis.failure = "not built";
  if (!sfx.exeSize) sfx.failure = "not built";

  // Interleaved, so that a slow phase of the machine touches every series alike.
  for (int run = 0; run < options->runs; ++run) {
    std::fprintf(stderr, "run %d of %d\n", run + 1, options->runs);
    const size_t installsBefore = veltrane.installMs.Count();
    if (veltrane.failure.empty()) MeasureInstallerRun(*options, veltrane);
    if (const auto alone = TimeExtractorAlone(*options)) {
      extractorMs.Add(alone->elapsedMs);
      launchCostMs.Add(alone->elapsedMs - alone->lifetimeMs);
      if (veltrane.installMs.Count() > installsBefore) {
        pairedOverheadMs.Add(veltrane.installMs.Last() - alone->elapsedMs);
      }
    }
    if (nsis.failure.empty()) {
      MeasurePeerInstall(options->nsis, L" /S", std::wstring(kNsisRoot) + L"\\brisel\\startup.exe",
                         Subsystem::Gui, nsis);
      MeasurePeerStartup(options->nsis, L"", true, nsis);
    }
    if (sfx.failure.empty()) {
      const size_t sfxInstallsBefore = sfx.installMs.Count();
      MeasurePeerInstall(options->sfx, std::wstring(L" -y -o") + kSfxRoot,
                         std::wstring(kSfxRoot) + L"brisel\\startup.exe", Subsystem::Console, sfx);
      if (veltrane.installMs.Count() > installsBefore &&
          sfx.installMs.Count() > sfxInstallsBefore) {
        ratioToSfx.Add(veltrane.installMs.Last() / sfx.installMs.Last());
      }
      MeasurePeerStartup(options->sfx, std::wstring(L" x -y -o") + kSfxRoot + L" no-such-entry",
                         false, sfx);
    }
  }
  CleanMachine();
  PrintTable(*options, veltrane, extractorMs, pairedOverheadMs, launchCostMs, ratioToSfx, nsis,
             sfx);
  return veltrane.failure.empty() ? 0 : 1;
}
