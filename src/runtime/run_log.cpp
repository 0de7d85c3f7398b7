#include "runtime/run_log.h"

#include <windows.h>

#include <string>
#include <vector>

#include "runtime/bound_function.h"
#include "runtime/file_find.h"
#include "runtime/files.h"
#include "runtime/gbk.h"
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

// The open log and the lock every write takes: workers and the window's thread log alike. The
// lock needs no call to make it, so a call before the log is opened is safe.
SRWLOCK g_lock = SRWLOCK_INIT;
ScopedHandle g_log;

// Holds the lock for its lifetime.
class LogLock {
 public:
  LogLock() { AcquireSRWLockExclusive(&g_lock); }
  LogLock(const LogLock&) = delete;
  LogLock& operator=(const LogLock&) = delete;
  ~LogLock() { ReleaseSRWLockExclusive(&g_lock); }
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

// Appends the bytes to the open log; a failed write is let go (the run goes on regardless).
void Write(std::string_view bytes) {
  if (bytes.empty()) return;
  const LogLock lock;
  if (!g_log.Valid()) return;
  DWORD written = 0;
  ::WriteFile(g_log.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Writes each line of the UTF-8 text, stamped with the time now and the label.
void WriteLines(std::string_view utf8Label, std::string_view utf8Text) {
  Write(StampedLines(Now(), utf8Label, utf8Text));
}

// The system's text for a Win32 error code, in the user's language; empty when it has none.
std::wstring SystemText(unsigned long error) {
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

// "error <code>: <the system's text>" as UTF-8.
std::string ErrorText(unsigned long error) {
  std::string text = "error ";
  AppendDecimal(text, error);
  text.append(": ").append(WideToUtf8(SystemText(error)));
  return text;
}

// The temporary folder's "Veltrane" folder, made when missing; empty when it cannot be had or
// is no plain folder.
std::wstring LogFolder() {
  std::wstring folder = TemporaryFolder();
  if (folder.empty()) return {};
  folder.append(kLogFolder);
  CreateDirectoryW(folder.c_str(), nullptr);
  return IsUsableLogFolder(GetFileAttributesW(folder.c_str())) ? folder : std::wstring();
}

// Deletes the oldest logs of kind in the folder beyond the number kept. A log another run still
// writes is open without delete sharing and stays.
void DeleteOldLogs(const std::wstring& folder, std::string_view kind) {
  std::vector<std::string> names;
  FileEnumerator logs(folder + L"\\" + GbkToWide(kind) + L"-*.log");
  for (FoundEntry entry; logs.Next(entry);) {
    if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(WideToGbk(entry.name));
  }
  for (const std::string& name : RunLogsToDelete(kind, std::move(names))) {
    DeleteFileW((folder + L"\\" + GbkToWide(name)).c_str());
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

std::wstring SystemErrorText(unsigned long error) { return SystemText(error); }

bool IsUsableLogFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

void OpenRunLog(std::string_view kind, std::string_view product, std::string_view version) {
  const std::wstring folder = LogFolder();
  if (folder.empty()) return;
  const std::wstring path =
      folder + L"\\" + GbkToWide(RunLogName(kind, Now(), GetCurrentProcessId()));
  // Others may read it while the run goes on, but not delete it: the rotation of a run started
  // meanwhile leaves it alone. Only a new file: an elevated run never writes through a link
  // someone else put under the name.
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return;
  {
    const LogLock lock;
    g_log = std::move(file);
  }
  Write(kUtf8ByteOrderMark);
  DeleteOldLogs(folder, kind);
  std::string first = GbkToUtf8(product);
  first.append(" ").append(GbkToUtf8(kind)).append(" ").append(GbkToUtf8(version));
  WriteLines({}, first);
  WriteLines({}, WindowsVersion());
  WriteLines({}, CodePages());
  WriteLines({}, OwnPath());
}

void Log(std::string_view gbkText) { WriteLines({}, GbkToUtf8(gbkText)); }

void LogFailure(std::string_view gbkWhat, unsigned long error) {
  WriteLines({}, GbkToUtf8(gbkWhat) + ": " + ErrorText(error));
}

void LogOutput(std::string_view gbkLabel, std::wstring_view output) {
  WriteLines(GbkToUtf8(gbkLabel) + ": ", WideToUtf8(output));
}

void CloseRunLog(unsigned long exitCode) {
  WriteLines({}, "exit code " + DecimalText(exitCode));
  const LogLock lock;
  g_log.Reset();
}

LoggedStep::LoggedStep(std::string_view gbkName) : name_(gbkName), start_(GetTickCount64()) {
  WriteLines({}, GbkToUtf8(name_) + ": start");
}

void LoggedStep::End(bool succeeded, unsigned long error) const {
  std::string line = GbkToUtf8(name_);
  line.append(succeeded ? ": ok, " : ": failed, ");
  AppendDecimal(line, GetTickCount64() - start_);
  line.append(" ms");
  if (error != ERROR_SUCCESS) line.append(", ").append(ErrorText(error));
  WriteLines({}, line);
}

}  // namespace runtime
