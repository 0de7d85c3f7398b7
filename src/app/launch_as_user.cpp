#include "app/launch_as_user.h"

#include <windows.h>
// After windows.h, which they build on.
#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <atomic>
#include <optional>
#include <string>
#include <utility>

#include "app/launch_as_user_for_testing.h"
#include "runtime/run_log.h"
#include "runtime/scoped_com.h"
#include "runtime/scoped_handle.h"
#include "runtime/shell.h"
#include "ui/busy.h"
#include "ui/main_window.h"

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

// One hand-over to the desktop's shell on a worker, shared by the worker and the thread that waits
// for it: past the bound the worker may still be inside the shell's call, so whichever of the two
// lets go last frees it.
struct HandOver {
  DesktopStart start;
  std::wstring program;
  std::wstring folder;
  HRESULT result = E_PENDING;
  std::atomic<int> holders{2};
};

void LetGo(HandOver* handOver) {
  if (handOver->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) delete handOver;
}

DWORD WINAPI HandOverWork(void* context) {
  auto* handOver = static_cast<HandOver*>(context);
  // Its own apartment: StartThroughDesktop enters one on this thread.
  handOver->result = handOver->start(handOver->program, handOver->folder);
  LetGo(handOver);
  return 0;
}

// The shell's answer to `start`, made on a worker while the main window stays live, or nothing
// when it has not come within `bound` milliseconds. Where no thread can be had, the call is made
// here, unbounded.
std::optional<HRESULT> AnswerWithin(DesktopStart start, std::wstring program, std::wstring folder,
                                    DWORD bound) {
  auto* handOver = new HandOver{start, std::move(program), std::move(folder)};
  const runtime::ScopedHandle worker(CreateThread(nullptr, 0, &HandOverWork, handOver, 0, nullptr));
  if (!worker.Valid()) {
    const HRESULT result = handOver->start(handOver->program, handOver->folder);
    delete handOver;
    return result;
  }
  ui::RunWhileLive(ui::MainWindow(), {}, worker.Get(), bound);
  std::optional<HRESULT> answer;
  // The thread's end orders its write of the result before this read.
  if (WaitForSingleObject(worker.Get(), 0) == WAIT_OBJECT_0) answer = handOver->result;
  LetGo(handOver);
  return answer;
}

bool StartItself(const std::wstring& program, const std::wstring& folder) {
  return runtime::OpenWithShell(runtime::kVerbOpen, program, {}, folder, runtime::kShowNormal);
}

// Whether the process's token is elevated. Where that cannot be read, it counts as elevated: the
// safe side, as nothing is then started with its rights.
bool RunsElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return true;
  const runtime::ScopedHandle owned(token);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size)) return true;
  return elevation.TokenIsElevated != 0;
}

}  // namespace

LaunchSeam SystemLaunchSeam() {
  return {&StartThroughDesktop, &StartItself, RunsElevated(), kShellAnswerBound};
}

LaunchWay LaunchAsDesktopUserForTesting(const std::wstring& program, const LaunchSeam& seam) {
  const std::wstring folder = program.substr(0, program.find_last_of(L'\\'));
  const runtime::LoggedStep desktop("start as the desktop user");
  const std::optional<HRESULT> answer =
      AnswerWithin(seam.desktopStart, program, folder, seam.shellAnswerBound);
  if (!answer) {
    desktop.End(false, ERROR_TIMEOUT);
    // Explorer may yet start it: a start of the installer's own could make it run twice.
    runtime::Log("the desktop's shell did not answer in time: the user is asked to start it");
    return LaunchWay::kLeftToUser;
  }
  desktop.End(SUCCEEDED(*answer), SUCCEEDED(*answer) ? ERROR_SUCCESS : *answer);
  if (SUCCEEDED(*answer)) return LaunchWay::kAsDesktopUser;
  if (seam.elevated) {
    // The program folder is every user's to change: nothing from it runs with the installer's
    // token. Without Explorer there is no shell token to borrow either.
    runtime::Log("no start by the installer itself, which runs elevated: the user is asked to");
    return LaunchWay::kLeftToUser;
  }
  const runtime::LoggedStep itself("start by the installer itself");
  const bool started = seam.ownStart(program, folder);
  itself.End(started, started ? ERROR_SUCCESS : GetLastError());
  return started ? LaunchWay::kByInstaller : LaunchWay::kLeftToUser;
}

LaunchWay LaunchAsDesktopUser(const std::wstring& program) {
  return LaunchAsDesktopUserForTesting(program, SystemLaunchSeam());
}

}  // namespace app
