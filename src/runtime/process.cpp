#include "runtime/process.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "runtime/gbk.h"
#include "runtime/process_for_testing.h"
#include "runtime/scoped_handle.h"

namespace runtime {

namespace {

constexpr DWORD kInputIdleTimeout = 1000;

// Deletes a thread attribute list made in its own buffer.
struct AttributeListDeleter {
  void operator()(PPROC_THREAD_ATTRIBUTE_LIST list) const {
    DeleteProcThreadAttributeList(list);
    delete[] reinterpret_cast<BYTE*>(list);
  }
};
using AttributeList = std::unique_ptr<_PROC_THREAD_ATTRIBUTE_LIST, AttributeListDeleter>;

// An attribute list that lets the child inherit `handle` and nothing else the caller holds; null
// when it cannot be made. The list keeps the variable's address: it must outlive the list.
AttributeList InheritOnly(HANDLE& handle) {
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  auto* buffer = new BYTE[size];
  auto* list = reinterpret_cast<PPROC_THREAD_ATTRIBUTE_LIST>(buffer);
  if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) {
    delete[] buffer;
    return nullptr;
  }
  AttributeList owned(list);
  if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle, sizeof handle,
                                 nullptr, nullptr)) {
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

}  // namespace

bool RunProgramForTesting(std::string_view commandLine, bool wait, int showMode,
                          unsigned long* exitCode, const ProcessApi& api) {
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
  HANDLE inherited = nullptr;
  AttributeList inheritOnly;
  if (mode == kShowHidden) {
    flags = CREATE_NO_WINDOW;
    nullDevice = OpenInheritableNullDevice();
    inherited = nullDevice.Get();
    if (nullDevice.Valid()) inheritOnly = InheritOnly(inherited);
    if (inheritOnly) {
      startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
      startup.StartupInfo.hStdInput = startup.StartupInfo.hStdOutput =
          startup.StartupInfo.hStdError = inherited;
      startup.lpAttributeList = inheritOnly.get();
      flags |= EXTENDED_STARTUPINFO_PRESENT;
      inherit = TRUE;
    }
  }
  // The wide call, so that a Chinese path survives any ANSI code page; it may write into the
  // command line, which is why the text is a buffer of its own.
  std::wstring mutableCommandLine = GbkToWide(commandLine);
  PROCESS_INFORMATION started{};
  if (!api.createProcess(nullptr, mutableCommandLine.data(), nullptr, nullptr, inherit, flags,
                         nullptr, nullptr, &startup.StartupInfo, &started)) {
    return false;
  }
  const ScopedHandle process(started.hProcess);
  const ScopedHandle thread(started.hThread);
  if (wait) {
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 0;
    if (exitCode != nullptr && GetExitCodeProcess(process.Get(), &code)) *exitCode = code;
  } else {
    WaitForInputIdle(process.Get(), kInputIdleTimeout);
  }
  return true;
}

bool RunProgram(std::string_view commandLine, bool wait, int showMode, unsigned long* exitCode) {
  return RunProgramForTesting(commandLine, wait, showMode, exitCode, ProcessApi{});
}

}  // namespace runtime
