#include "app/launch_as_user.h"

#include <windows.h>
// After windows.h, which they build on.
#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <string>

#include "app/launch_as_user_for_testing.h"
#include "runtime/run_log.h"
#include "runtime/scoped_com.h"
#include "runtime/shell.h"

namespace app {

namespace {

constexpr wchar_t kOpenVerb[] = L"open";

// A VARIANT that holds a text it does not own.
VARIANT TextVariant(BSTR text) {
  VARIANT variant;
  VariantInit(&variant);
  variant.vt = VT_BSTR;
  variant.bstrVal = text;
  return variant;
}

// The shell's dispatch object behind the desktop's folder view: the desktop window among the
// shell's windows, its browser, the browser's view, the view's background object, and that
// folder view's application. Null when a link of the chain is missing.
runtime::ScopedCom<IShellDispatch2> DesktopShellDispatch(HRESULT& result) {
  void* object = nullptr;
  result = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                            &object);
  if (FAILED(result)) return {};
  const runtime::ScopedCom<IShellWindows> windows(static_cast<IShellWindows*>(object));
  VARIANT desktopFolder;
  VariantInit(&desktopFolder);
  desktopFolder.vt = VT_I4;
  desktopFolder.lVal = CSIDL_DESKTOP;
  VARIANT noRoot;
  VariantInit(&noRoot);
  long desktopWindow = 0;
  IDispatch* found = nullptr;
  // S_FALSE: no desktop window is registered, as without a running Explorer.
  result = windows.Get()->FindWindowSW(&desktopFolder, &noRoot, SWC_DESKTOP, &desktopWindow,
                                       SWFO_NEEDDISPATCH, &found);
  const runtime::ScopedCom<IDispatch> desktop(found);
  if (result != S_OK || !desktop.Valid()) {
    if (SUCCEEDED(result)) result = E_FAIL;
    return {};
  }
  const auto services = runtime::QueryCom<IServiceProvider>(desktop, IID_IServiceProvider);
  IShellBrowser* browser = nullptr;
  result = services.Valid() ? services.Get()->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                                           reinterpret_cast<void**>(&browser))
                            : E_NOINTERFACE;
  const runtime::ScopedCom<IShellBrowser> topBrowser(browser);
  IShellView* view = nullptr;
  if (SUCCEEDED(result)) result = topBrowser.Get()->QueryActiveShellView(&view);
  const runtime::ScopedCom<IShellView> activeView(view);
  object = nullptr;
  if (SUCCEEDED(result)) {
    result = activeView.Get()->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, &object);
  }
  const runtime::ScopedCom<IDispatch> background(static_cast<IDispatch*>(object));
  const auto folderView =
      runtime::QueryCom<IShellFolderViewDual>(background, IID_IShellFolderViewDual);
  IDispatch* application = nullptr;
  if (SUCCEEDED(result)) {
    result = folderView.Valid() ? folderView.Get()->get_Application(&application) : E_NOINTERFACE;
  }
  const runtime::ScopedCom<IDispatch> shell(application);
  auto dispatch = runtime::QueryCom<IShellDispatch2>(shell, IID_IShellDispatch2);
  if (SUCCEEDED(result) && !dispatch.Valid()) result = E_NOINTERFACE;
  return dispatch;
}

// The real desktop start: the desktop's shell opens the program in its own process.
HRESULT StartThroughDesktop(const std::wstring& program, const std::wstring& folder) {
  const runtime::ComApartment apartment;
  HRESULT result = S_OK;
  const runtime::ScopedCom<IShellDispatch2> shell = DesktopShellDispatch(result);
  if (!shell.Valid()) return result;
  const runtime::ScopedBstr file(SysAllocString(program.c_str()));
  const runtime::ScopedBstr directory(SysAllocString(folder.c_str()));
  const runtime::ScopedBstr verb(SysAllocString(kOpenVerb));
  if (!file.Valid() || !directory.Valid() || !verb.Valid()) return E_OUTOFMEMORY;
  VARIANT noArguments;
  VariantInit(&noArguments);
  VARIANT show;
  VariantInit(&show);
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  return shell.Get()->ShellExecute(file.Get(), noArguments, TextVariant(directory.Get()),
                                   TextVariant(verb.Get()), show);
}

DesktopStart g_desktopStart = &StartThroughDesktop;

}  // namespace

DesktopStart ReplaceDesktopStartForTesting(DesktopStart start) {
  const DesktopStart replaced = g_desktopStart;
  g_desktopStart = start != nullptr ? start : &StartThroughDesktop;
  return replaced;
}

LaunchWay LaunchAsDesktopUser(const std::wstring& program) {
  const std::wstring folder = program.substr(0, program.find_last_of(L'\\'));
  const runtime::LoggedStep desktop("start as the desktop user");
  const HRESULT result = g_desktopStart(program, folder);
  desktop.End(SUCCEEDED(result), SUCCEEDED(result) ? ERROR_SUCCESS : result);
  if (SUCCEEDED(result)) return LaunchWay::kAsDesktopUser;
  runtime::Log("start by the installer itself");
  runtime::OpenWithShell(runtime::kVerbOpen, program, {}, folder, runtime::kShowNormal);
  return LaunchWay::kByInstaller;
}

}  // namespace app
