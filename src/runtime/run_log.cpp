#include "runtime/run_log.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "runtime/bound_function.h"
#include "runtime/files.h"
#include "runtime/gbk.h"
#include "runtime/log_folder.h"
#include "runtime/log_format.h"
#include "runtime/run_log_for_testing.h"
#include "runtime/scoped_handle.h"

namespace runtime {

namespace {

constexpr wchar_t kLogFolder[] = L"Veltrane";
// Notepad on older Windows takes a file without it for the ANSI code page.
constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";
// A path below the "\\?\" limit of the wide calls.
constexpr DWORD kLongestPath = 32768;
// What may wait for the writer: a temporary folder that takes nothing for a while costs lines,
// never memory without bound.
constexpr std::size_t kMostPendingBytes = std::size_t{1} << 20;
// How long the run's end waits for its last lines on a slow temporary folder.
constexpr DWORD kLastLinesTimeout = 2000;
// The writer's stack: it holds no more than a listing's buffer.
constexpr SIZE_T kWriterStack = 64 * 1024;

// The log's state. Every thread logs, but only the writer thread touches the folder and the file,
// so that no caller waits on a slow temporary folder (a network profile): a line is queued, and
// the writer writes what is queued. The lock needs no call to make it, so a call before the log is
// opened is safe.
SRWLOCK g_lock = SRWLOCK_INIT;
CONDITION_VARIABLE g_queued = CONDITION_VARIABLE_INIT;
std::string g_pending;   // UTF-8 bytes queued for the writer
bool g_logging = false;  // from the log's opening until its end, or until it cannot be written
bool g_closing = false;  // the run ends: the writer writes what is queued, then ends
ScopedHandle g_writer;   // the writer thread
std::atomic<HANDLE> g_gate{nullptr};  // a test's hold on the writer

// Holds the lock for its lifetime.
class LogLock {
 public:
  LogLock() { AcquireSRWLockExclusive(&g_lock); }
  LogLock(const LogLock&) = delete;
  LogLock& operator=(const LogLock&) = delete;
  ~LogLock() { ReleaseSRWLockExclusive(&g_lock); }
};

// What the writer needs to open the log: where, under which name, and the kind it rotates.
struct LogPlace {
  std::wstring folder;
  std::wstring name;
  std::string kind;
};

// UTF-8 form of the UTF-16 text; unpaired surrogates become U+FFFD.
std::string WideToUtf8(std::wstring_view wide) {
  const int size = static_cast<int>(wide.size());
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

// UTF-8 form of the GBK text.
std::string GbkToUtf8(std::string_view gbk) { return WideToUtf8(GbkToWide(gbk)); }

// The local time now.
LogTime Now() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

// Queues the bytes for the writer; nothing when no log is written, or when too much waits already.
void Write(std::string_view bytes) {
  const LogLock lock;
  if (!g_logging || g_pending.size() + bytes.size() > kMostPendingBytes) return;
  g_pending.append(bytes);
  WakeConditionVariable(&g_queued);
}

// Writes each line of the UTF-8 text, stamped with the time now and the label.
void WriteLines(std::string_view utf8Label, std::string_view utf8Text) {
  Write(StampedLines(Now(), utf8Label, utf8Text));
}

// "error <code>: <the system's text>" as UTF-8.
std::string ErrorText(unsigned long error) {
  std::string text = "error ";
  AppendDecimal(text, error);
  text.append(": ").append(WideToUtf8(SystemErrorText(error)));
  return text;
}

// Deletes the oldest logs of the kind in the folder beyond the number kept, each only when it is a
// plain file of that folder. A log another run still writes is open without delete sharing and
// stays.
void DeleteOldLogs(const LogFolder& folder, std::string_view kind) {
  std::vector<std::string> names;
  for (const std::wstring& name : folder.FileNames()) names.push_back(WideToGbk(name));
  for (const std::string& name : RunLogsToDelete(kind, std::move(names))) {
    folder.DeletePlainFile(GbkToWide(name));
  }
}

// Ends the logging of a log that cannot be written: what is queued, and all that follows, goes.
void StopLogging() {
  const LogLock lock;
  g_logging = false;
  std::string().swap(g_pending);
}

// The writer thread: makes the log, rotates the old ones, then writes what is queued until the
// run ends.
DWORD WINAPI WriteQueuedLines(void* parameter) {
  const std::unique_ptr<LogPlace> place(static_cast<LogPlace*>(parameter));
  const LogFolder folder = LogFolder::Open(place->folder);
  const ScopedHandle file = folder.Valid() ? folder.CreateNewFile(place->name) : ScopedHandle();
  if (!file.Valid()) {
    StopLogging();
    return 0;
  }
  DWORD written = 0;
  ::WriteFile(file.Get(), kUtf8ByteOrderMark, sizeof kUtf8ByteOrderMark - 1, &written, nullptr);
  DeleteOldLogs(folder, place->kind);
  for (std::string taken;; taken.clear()) {
    {
      const LogLock lock;
      while (g_pending.empty() && !g_closing) {
        SleepConditionVariableSRW(&g_queued, &g_lock, INFINITE, 0);
      }
      if (g_pending.empty()) return 0;
      taken.swap(g_pending);
    }
    if (const HANDLE gate = g_gate; gate != nullptr) WaitForSingleObject(gate, INFINITE);
    // A failed write is let go: the run goes on regardless.
    ::WriteFile(file.Get(), taken.data(), static_cast<DWORD>(taken.size()), &written, nullptr);
  }
}

// "Windows <major>.<minor> build <build>[ <service pack>]" as the system itself reports it:
// GetVersionEx answers a program without a manifest entry for the newest Windows with an older
// version, RtlGetVersion never does. Bound by name, as ntdll's exports are no documented import.
std::string WindowsVersion() {
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  const auto rtlGetVersion =
      BindFunction<RtlGetVersionFunction>(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (rtlGetVersion == nullptr || rtlGetVersion(&version) != 0) return "Windows version unknown";
  std::string text = "Windows ";
  AppendDecimal(text, version.dwMajorVersion);
  text.push_back('.');
  AppendDecimal(text, version.dwMinorVersion);
  text.append(" build ");
  AppendDecimal(text, version.dwBuildNumber);
  if (version.szCSDVersion[0] != L'\0') text.append(" ").append(WideToUtf8(version.szCSDVersion));
  BOOL wow64 = FALSE;
  if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64) text.append(", 64-bit");
  return text;
}

// "ANSI code page <n>, OEM code page <n>".
std::string CodePages() {
  std::string text = "ANSI code page ";
  AppendDecimal(text, GetACP());
  text.append(", OEM code page ");
  AppendDecimal(text, GetOEMCP());
  return text;
}

// "program <this exe's path>" as UTF-8.
std::string OwnPath() {
  std::wstring path(kLongestPath, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), kLongestPath);
  path.resize(length < kLongestPath ? length : 0);
  return "program " + WideToUtf8(path);
}

}  // namespace

std::wstring SystemErrorText(unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return {};
  std::wstring message(text, length);
  LocalFree(text);
  // It ends in a line break, which would put it on a line of its own.
  while (!message.empty() &&
         (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ')) {
    message.pop_back();
  }
  return message;
}

void OpenRunLog(std::string_view kind, std::wstring_view product, std::string_view version) {
  const std::wstring temporary = TemporaryFolder();
  if (temporary.empty()) return;
  auto place = std::make_unique<LogPlace>(
      LogPlace{temporary + kLogFolder, GbkToWide(RunLogName(kind, Now(), GetCurrentProcessId())),
               std::string(kind)});
  {
    const LogLock lock;
    g_logging = true;
    g_closing = false;
  }
  g_writer.Reset(CreateThread(nullptr, kWriterStack, &WriteQueuedLines, place.get(),
                              STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  if (!g_writer.Valid()) {
    StopLogging();
    return;
  }
  (void)place.release();  // the writer's now
  std::string first = WideToUtf8(product);
  first.append(" ").append(GbkToUtf8(kind)).append(" ").append(GbkToUtf8(version));
  WriteLines({}, first);
  WriteLines({}, WindowsVersion());
  WriteLines({}, CodePages());
  WriteLines({}, OwnPath());
}

void Log(std::string_view gbkText) { WriteLines({}, GbkToUtf8(gbkText)); }

void Log(std::wstring_view text) { WriteLines({}, WideToUtf8(text)); }

void LogFailure(std::string_view gbkWhat, unsigned long error) {
  WriteLines({}, GbkToUtf8(gbkWhat) + ": " + ErrorText(error));
}

void LogOutput(std::string_view gbkLabel, std::wstring_view output) {
  WriteLines(GbkToUtf8(gbkLabel) + ": ", WideToUtf8(output));
}

void CloseRunLog(unsigned long exitCode) {
  WriteLines({}, "exit code " + DecimalText(exitCode));
  {
    const LogLock lock;
    g_closing = true;
    WakeConditionVariable(&g_queued);
  }
  if (g_writer.Valid()) WaitForSingleObject(g_writer.Get(), kLastLinesTimeout);
  g_writer.Reset();
  StopLogging();
}

void HoldRunLogWritesForTesting(HANDLE gate) { g_gate = gate; }

LoggedStep::LoggedStep(std::string_view gbkName) : LoggedStep(GbkToWide(gbkName)) {}

LoggedStep::LoggedStep(std::wstring_view name) : name_(WideToUtf8(name)), start_(GetTickCount64()) {
  WriteLines({}, name_ + ": start");
}

void LoggedStep::End(bool succeeded, unsigned long error) const {
  std::string line = name_;
  line.append(succeeded ? ": ok, " : ": failed, ");
  AppendDecimal(line, GetTickCount64() - start_);
  line.append(" ms");
  if (error != ERROR_SUCCESS) line.append(", ").append(ErrorText(error));
  WriteLines({}, line);
}

}  // namespace runtime
