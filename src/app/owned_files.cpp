#include "app/owned_files.h"

#include "app/install_texts.h"
#include "app/uninstaller_place.h"
#include "fs/files.h"
#include "runtime/gbk.h"
#include "runtime/log_format.h"
#include "runtime/progress.h"
#include "runtime/run_log.h"
#include "ui/busy.h"

namespace app {

namespace {

// The log's line on a removal's end: what it came to, where it stopped, how far it got, and where
// the folder lies when not under its name.
std::wstring OutcomeLine(const fs::RemovalReport& report, const runtime::Progress& progress) {
  constexpr const char* kResults[] = {"removed", "in use", "failed", "refused", "left aside"};
  const std::string line = std::string("removal result: ") +
                           kResults[static_cast<int>(report.result)] + ", " +
                           runtime::DecimalText(progress.done) + " of " +
                           runtime::DecimalText(progress.total) + " files removed";
  std::wstring wide = runtime::GbkToWide(line);
  if (!report.where.empty()) wide += L", at " + report.where;
  if (!report.aside.empty()) wide += L", aside " + report.aside;
  return wide;
}

// The Win32 error of the report with the system's text for it.
std::string ErrorText(const fs::RemovalReport& report) {
  std::string error = runtime::DecimalText(report.error);
  const std::wstring text = runtime::SystemErrorText(report.error);
  if (!text.empty()) error += "：" + runtime::WideToGbk(text);
  return error;
}

}  // namespace

fs::RemovalReport RemoveProgramFolder(std::wstring_view root, RemovalView view, bool (*retry)()) {
  const std::wstring folder = DeriveInstallTexts(root).oldFolder;
  // A first installation's: looked up on this thread as the root itself is, with no step.
  if (fs::NothingToRemove(folder)) {
    runtime::Log(L"removal of " + folder + L": nothing there");
    return {};
  }
  runtime::Progress progress;
  fs::RemovalReport report;
  const auto remove = [&] {
    const fs::RemovalReport before = report;
    report = fs::RemoveTreeWhole(folder, &progress, &before);
  };
  do {
    const runtime::LoggedStep step(L"removal of " + folder);
    ui::RunWhileLive(view.window, {view.bar, &progress, view.barFrom}, remove);
    step.End(report.result == fs::WholeRemoval::kRemoved, report.error);
    runtime::Log(OutcomeLine(report, progress));
  } while (report.result == fs::WholeRemoval::kInUse && retry());
  return report;
}

RemovalReading ReadRemoval(const fs::RemovalReport& report) {
  const std::string aside = runtime::WideToGbk(report.aside);
  switch (report.result) {
    case fs::WholeRemoval::kRemoved:
      return {RemovalOutcome::kGone, RemovalNext::kGoOn, {}};
    case fs::WholeRemoval::kLeftAside:
      return {RemovalOutcome::kRestLeftAside, RemovalNext::kGoOn,
              "以下文件夹中仍有文件被其他程序占用，未能删除：\n" + aside +
                  "\n它将在下次安装或卸载 brisel 时删除，您也可以手动删除它。"};
    case fs::WholeRemoval::kRefused:
      return {RemovalOutcome::kNotOurs, RemovalNext::kGoOnUntouched, {}};
    case fs::WholeRemoval::kInUse:
    case fs::WholeRemoval::kFailed:
      break;
  }
  if (!report.aside.empty()) {
    return {RemovalOutcome::kStrandedAside, RemovalNext::kStopTelling,
            "未能将 brisel 的文件夹移回原处（系统错误 " + ErrorText(report) + "），它现位于：" +
                aside + "。下次安装或卸载 brisel 时将删除它，您也可以手动删除它。"};
  }
  if (report.result == fs::WholeRemoval::kInUse) {
    return {RemovalOutcome::kKeptInUse, RemovalNext::kLeaveAsChosen, {}};
  }
  return {RemovalOutcome::kFailed, RemovalNext::kStopTelling,
          "未能删除 brisel 的文件：" + runtime::WideToGbk(report.where) + "（系统错误 " +
              ErrorText(report) + "）。安装记录保持不变。"};
}

void RemoveUninstallerAndEmptyRoot(const std::wstring& root) {
  fs::RemoveFile(DeriveInstallTexts(root).legacyUninstallerPath);
  RemoveInstalledUninstaller();
  // Refuses empty, relative, drive-root and system-folder paths.
  (void)fs::RemoveEmptyDirectory(root);
}

}  // namespace app
