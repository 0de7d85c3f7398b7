#include "runtime/process.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "runtime/gbk.h"
#include "runtime/scoped_handle.h"

namespace runtime {

namespace {

// Show commands by mode - 1.
constexpr WORD kShowCommands[] = {SW_HIDE,          SW_SHOWNORMAL,     SW_SHOWMINIMIZED,
                                  SW_SHOWMAXIMIZED, SW_SHOWNOACTIVATE, SW_MINIMIZE};

constexpr DWORD kInputIdleTimeout = 1000;

DWORD CreationFlags(int showMode) {
  // A console program started from a window gets a console of its own, and where Windows Terminal
  // hosts consoles it shows the terminal whatever the show command says: a hidden run gets none.
  return std::clamp(showMode, kShowHidden, kShowMinimize) == kShowHidden ? CREATE_NO_WINDOW : 0;
}

}  // namespace

bool RunProgram(std::string_view commandLine, bool wait, int showMode, unsigned long* exitCode,
                const ProcessApi& api) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = kShowCommands[std::clamp(showMode, kShowHidden, kShowMinimize) - 1];
  // The wide call, so that a Chinese path survives any ANSI code page; it may write into the
  // command line, which is why the text is a buffer of its own.
  std::wstring mutableCommandLine = GbkToWide(commandLine);
  PROCESS_INFORMATION started{};
  if (!api.createProcess(nullptr, mutableCommandLine.data(), nullptr, nullptr, FALSE,
                         CreationFlags(showMode), nullptr, nullptr, &startup, &started)) {
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
