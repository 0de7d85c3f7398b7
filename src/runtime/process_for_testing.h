#pragma once
// What the tests of starting programs reach beyond the product's interface.

#include <windows.h>

#include <string>

namespace runtime {

// The process call RunProgram makes: Wine hosts consoles differently from Windows, so a test sees
// the flags a start is asked with through its own function.
struct ProcessApi {
  decltype(&::CreateProcessW) createProcess = &::CreateProcessW;
};

// RunProgram, starting the process through `api`.
[[nodiscard]] bool RunProgramForTesting(const std::wstring& commandLine, bool wait, int showMode,
                                        unsigned long* exitCode, const ProcessApi& api);

}  // namespace runtime
