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

// The log's line on a removal's end: what it came to, where it stopped, and how far it got.
std::wstring RemovalOutcome(const fs::RemovalReport& report, const runtime::Progress& progress) {
  constexpr const char* kResults[] = {"removed", "in use", "failed", "refused",
                                      "removed at restart"};
  std::string line = std::string("removal result: ") + kResults[static_cast<int>(report.result)] +
                     ", " + runtime::DecimalText(progress.done) + " of " +
                     runtime::DecimalText(progress.total) + " files removed";
  std::wstring wide = runtime::GbkToWide(line);
  if (!report.where.empty()) wide += L", at " + report.where;
  return wide;
}

}  // namespace

fs::RemovalReport RemoveProgramFolder(std::wstring_view root, RemovalView view, bool (*retry)()) {
  const std::wstring folder = DeriveInstallTexts(root).oldFolder;
  runtime::Progress progress;
  fs::RemovalReport report;
  const auto remove = [&] { report = fs::RemoveTreeWhole(folder, &progress); };
  do {
    const runtime::LoggedStep step(L"removal of " + folder);
    ui::RunWhileLive(view.window, {view.bar, &progress, view.barFrom}, remove);
    step.End(report.result == fs::WholeRemoval::kRemoved, report.error);
    runtime::Log(RemovalOutcome(report, progress));
  } while (report.result == fs::WholeRemoval::kInUse && retry());
  return report;
}

std::string RemovalFailedMessage(const fs::RemovalReport& report) {
  std::string error = runtime::DecimalText(report.error);
  const std::wstring text = runtime::SystemErrorText(report.error);
  if (!text.empty()) error += "：" + runtime::WideToGbk(text);
  return "未能删除 brisel 的文件：" + runtime::WideToGbk(report.where) + "（系统错误 " + error +
         "）。安装记录保持不变。";
}

void RemoveUninstallerAndEmptyRoot(const std::wstring& root) {
  fs::RemoveFile(DeriveInstallTexts(root).legacyUninstallerPath);
  RemoveInstalledUninstaller();
  // Refuses empty, relative, drive-root and system-folder paths.
  (void)fs::RemoveEmptyDirectory(root);
}

}  // namespace app
