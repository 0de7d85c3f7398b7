#include "runtime/process.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <span>
#include <string>

#include "runtime/files.h"
#include "runtime/process_for_testing.h"
#include "runtime/scoped_handle.h"

namespace runtime {

namespace {

constexpr DWORD kInputIdleTimeout = 1000;
constexpr wchar_t kTemporaryFilePrefix[] = L"vel";

// Deletes a thread attribute list made in its own buffer.
struct AttributeListDeleter {
  void operator()(PPROC_THREAD_ATTRIBUTE_LIST list) const {
    DeleteProcThreadAttributeList(list);
    delete[] reinterpret_cast<BYTE*>(list);
  }
};
using AttributeList = std::unique_ptr<_PROC_THREAD_ATTRIBUTE_LIST, AttributeListDeleter>;

// An attribute list that lets the child inherit the handles and nothing else the caller holds;
// null when it cannot be made. The list keeps the array's address: it must outlive the list.
AttributeList InheritOnly(std::span<HANDLE> handles) {
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  auto* buffer = new BYTE[size];
  auto* list = reinterpret_cast<PPROC_THREAD_ATTRIBUTE_LIST>(buffer);
  if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) {
    delete[] buffer;
    return nullptr;
  }
  AttributeList owned(list);
  if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.data(),
                                 handles.size_bytes(), nullptr, nullptr)) {
    return nullptr;
  }
  return owned;
}

// The null device, open for a child to inherit as its standard input, output and error.
ScopedHandle OpenInheritableNullDevice() {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  return ScopedHandle(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                                  0, nullptr));
}

// A temporary file for a child to inherit as its standard error, deleted once the last handle to
// it is closed; invalid when none can be made.
ScopedHandle OpenInheritableTemporaryFile() {
  const std::wstring folder = TemporaryFolder();
  wchar_t path[MAX_PATH] = {};
  if (folder.empty() || GetTempFileNameW(folder.c_str(), kTemporaryFilePrefix, 0, path) == 0) {
    return {};
  }
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  ScopedHandle file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                &inheritable, TRUNCATE_EXISTING,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!file.Valid()) DeleteFileW(path);
  return file;
}

// The start RunProgram, StartProgram and StartCapturingErrors make, a hidden one with
// `errorOutput` (when valid) as the child's standard error; the process's handle, or an invalid
// one with the Win32 error code in `startError` (when given). A non-null `applicationName` is the
// program started.
ScopedHandle Start(const std::wstring& commandLine, int showMode, const ProcessApi& api,
                   HANDLE errorOutput = nullptr, unsigned long* startError = nullptr,
                   const wchar_t* applicationName = nullptr) {
  const int mode = std::clamp(showMode, kShowHidden, kShowMinimize);
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = ShowCommandsOf(mode).program;
  DWORD flags = 0;
  BOOL inherit = FALSE;
  // A console program started from a window gets a console of its own, and where Windows Terminal
  // hosts consoles it shows the terminal whatever the show command says: a hidden run gets none.
  // What it prints would go nowhere anyway, and printing progress into a console costs it a
  // third of its time: its output goes to the null device instead, the one handle it inherits.
  // Should the device or the list not be had, it still starts, printing into its hidden console.
  ScopedHandle nullDevice;
  HANDLE inherited[] = {nullptr, errorOutput};
  AttributeList inheritOnly;
  if (mode == kShowHidden) {
    flags = CREATE_NO_WINDOW;
    nullDevice = OpenInheritableNullDevice();
    inherited[0] = nullDevice.Get();
    const bool capturing = errorOutput != nullptr;
    const std::size_t count = capturing ? std::size(inherited) : 1;
    if (nullDevice.Valid()) inheritOnly = InheritOnly(std::span(inherited).first(count));
    if (inheritOnly) {
      startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
      startup.StartupInfo.hStdInput = startup.StartupInfo.hStdOutput = inherited[0];
      startup.StartupInfo.hStdError = capturing ? errorOutput : inherited[0];
      startup.lpAttributeList = inheritOnly.get();
      flags |= EXTENDED_STARTUPINFO_PRESENT;
      inherit = TRUE;
    }
  }
  // The wide call, so that every letter of a path survives any ANSI code page; it may write into
  // the command line, which is why the text is a buffer of its own.
  std::wstring mutableCommandLine = commandLine;
  PROCESS_INFORMATION started{};
  if (!api.createProcess(applicationName, mutableCommandLine.data(), nullptr, nullptr, inherit,
                         flags, nullptr, nullptr, &startup.StartupInfo, &started)) {
    // Read before the handles above are closed, which may set it anew.
    if (startError != nullptr) *startError = GetLastError();
    return {};
  }
  const ScopedHandle thread(started.hThread);
  return ScopedHandle(started.hProcess);
}

}  // namespace

std::wstring CapturingProgram::ErrorOutput() const {
  LARGE_INTEGER size{};
  if (!errorOutput_.Valid() || !GetFileSizeEx(errorOutput_.Get(), &size) || size.QuadPart == 0) {
    return {};
  }
  const LONGLONG kept = std::min<LONGLONG>(size.QuadPart, kCapturedErrorBytes);
  LARGE_INTEGER from{};
  from.QuadPart = size.QuadPart - kept;
  std::string bytes(static_cast<std::size_t>(kept), '\0');
  DWORD read = 0;
  if (!SetFilePointerEx(errorOutput_.Get(), from, nullptr, FILE_BEGIN) ||
      !::ReadFile(errorOutput_.Get(), bytes.data(), static_cast<DWORD>(kept), &read, nullptr)) {
    return {};
  }
  bytes.resize(read);
  // A cut through the first line may have split a character too: that line goes. (No GBK or
  // other OEM code page has a line feed as the second byte of a character.)
  if (from.QuadPart > 0) bytes.erase(0, bytes.find('\n') + 1);
  const int units =
      MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (units <= 0) return {};
  std::wstring output(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), static_cast<int>(bytes.size()), output.data(),
                      units);
  return output;
}

CapturingProgram StartCapturingErrors(const std::wstring& commandLine,
                                      const std::wstring& applicationName) {
  ScopedHandle errorOutput = OpenInheritableTemporaryFile();
  unsigned long startError = ERROR_SUCCESS;
  ScopedHandle process =
      Start(commandLine, kShowHidden, ProcessApi{}, errorOutput.Get(), &startError,
            applicationName.empty() ? nullptr : applicationName.c_str());
  return CapturingProgram(std::move(process), std::move(errorOutput), startError);
}

ScopedHandle StartProgram(const std::wstring& commandLine, int showMode) {
  return Start(commandLine, showMode, ProcessApi{});
}

ScopedHandle StartInheriting(std::wstring commandLine, HANDLE inherited,
                             const std::wstring& directory) {
  HANDLE handles[] = {inherited};
  const AttributeList inheritOnly = InheritOnly(handles);
  if (!inheritOnly) return {};
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.lpAttributeList = inheritOnly.get();
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                      EXTENDED_STARTUPINFO_PRESENT, nullptr, directory.c_str(),
                      &startup.StartupInfo, &started)) {
    return {};
  }
  const ScopedHandle thread(started.hThread);
  return ScopedHandle(started.hProcess);
}

bool RunProgramForTesting(const std::wstring& commandLine, bool wait, int showMode,
                          unsigned long* exitCode, const ProcessApi& api) {
  const ScopedHandle process = Start(commandLine, showMode, api);
  if (!process.Valid()) return false;
  if (wait) {
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 0;
    if (exitCode != nullptr && GetExitCodeProcess(process.Get(), &code)) *exitCode = code;
  } else {
    WaitForInputIdle(process.Get(), kInputIdleTimeout);
  }
  return true;
}

bool RunProgram(const std::wstring& commandLine, bool wait, int showMode, unsigned long* exitCode) {
  return RunProgramForTesting(commandLine, wait, showMode, exitCode, ProcessApi{});
}

}  // namespace runtime
