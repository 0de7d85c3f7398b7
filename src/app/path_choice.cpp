// The link label's folder pick and the finish button.
#include <windows.h>

#include "app/handlers.h"
#include "app/install_root.h"
#include "app/launch_as_user.h"
#include "app/messages.h"
#include "app/product.h"
#include "runtime/dialogs.h"
#include "runtime/gbk.h"
#include "runtime/process.h"
#include "runtime/run_log.h"
#include "runtime/scoped_handle.h"
#include "runtime/shell.h"
#include "ui/busy.h"
#include "ui/main_window.h"

namespace {

constexpr DWORD kLaunchGraceMilliseconds = 2500;

}  // namespace

void ChooseInstallPath(int, int, int) {
  std::wstring& root = app::InstallRoot();
  // A cancelled pick empties the root, so the next install reads the path box again.
  root = runtime::ChooseFolder("请选择安装目录");
  if (root.empty()) {
    app::ShowError(app::kChooseValidPath);
    return;
  }
  // Refused as a cancelled pick is: the record could not name it.
  if (!runtime::ExactGbk(root)) {
    runtime::Log(L"picked folder " + root + L": GBK cannot hold its name");
    root.clear();
    app::ShowError(app::kRootNotRecordable);
    return;
  }
  root.append(L"\\").append(app::kRootFolderName).append(L"\\");
  ui::SetEditText(ui::Control::编辑框_路径, root);
}

void LaunchAndExit() {
  const std::wstring program = ui::GetEditText(ui::Control::编辑框1);
  runtime::Log(L"start of the program " + program);
  if (app::LaunchAsDesktopUser(program) == app::LaunchWay::kLeftToUser) {
    app::AskToStartProgramFromDesktop();
  } else {
    // A step like any other: the window stays live, and nothing pressed meanwhile starts a second
    // launch or a folder dialog.
    ui::RunWhileLive(ui::MainWindow(), {}, nullptr, kLaunchGraceMilliseconds);
  }
  runtime::CloseRunLog(0);
  // Ends outright: no further event handling and no exit clean-up.
  const runtime::ScopedHandle self(OpenProcess(PROCESS_TERMINATE, FALSE, GetCurrentProcessId()));
  if (!self.Valid()) return;
  TerminateProcess(self.Get(), 0);
}
