#include "runtime/process.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "runtime/scoped_handle.h"

namespace runtime {

namespace {

// Show commands by mode - 1.
constexpr WORD kShowCommands[] = {SW_HIDE,          SW_SHOWNORMAL,     SW_SHOWMINIMIZED,
                                  SW_SHOWMAXIMIZED, SW_SHOWNOACTIVATE, SW_MINIMIZE};

constexpr DWORD kInputIdleTimeout = 1000;

}  // namespace

bool RunProgram(std::string_view commandLine, bool wait, int showMode, unsigned long* exitCode) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = kShowCommands[std::clamp(showMode, kShowHidden, kShowMinimize) - 1];
  // CreateProcessA may write into the command line, so it gets its own copy.
  std::string mutableCommandLine(commandLine);
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, mutableCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &started)) {
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

}  // namespace runtime
