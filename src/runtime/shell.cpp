#include "runtime/shell.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <objbase.h>
#include <shellapi.h>

#include <string>

namespace runtime {

namespace {

// ShellExecuteW's results up to this one are failures.
constexpr INT_PTR kShellExecuteFailureCeiling = 32;

// The shell verb by number; null asks for the file's default verb.
const wchar_t* ShellVerb(int verb) {
  constexpr const wchar_t* kVerbs[] = {L"edit", L"explore", L"find", L"open", L"print"};
  return verb >= kVerbEdit && verb <= kVerbPrint ? kVerbs[verb - 1] : nullptr;
}

// An argument text for the shell; an empty text is passed as no argument at all.
const wchar_t* OptionalText(const std::wstring& text) {
  return text.empty() ? nullptr : text.c_str();
}

}  // namespace

void EnterShellApartment() {
  // OLE1 DDE is of no use to the shell calls made here and only costs a hidden window.
  (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
}

bool OpenWithShell(int verb, const std::wstring& file, const std::wstring& parameters,
                   const std::wstring& directory, int showMode) {
  const int show = showMode >= kShowHidden && showMode <= kShowMinimize
                       ? ShowCommandsOf(showMode).shell
                       : SW_SHOWNORMAL;
  SetLastError(ERROR_SUCCESS);
  // An HINSTANCE only for compatibility: above 32 means the file was opened, 32 or below is the
  // reason it was not.
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, ShellVerb(verb), file.c_str(), OptionalText(parameters),
                    OptionalText(directory), show));
  if (result > kShellExecuteFailureCeiling) return true;
  // Where the shell set no error, its own code stands in: its common ones (2, 3, 5, 8, 11) are the
  // Win32 codes of the same value.
  if (GetLastError() == ERROR_SUCCESS) SetLastError(static_cast<DWORD>(result));
  return false;
}

}  // namespace runtime
