#include "app/owned_files.h"

#include <cstdlib>

#include "app/install_texts.h"
#include "fs/files.h"
#include "runtime/progress.h"
#include "ui/busy.h"

namespace app {

namespace {

constexpr int kDecimal = 10;
constexpr std::size_t kDecimalDigits = 16;  // a 32-bit number and its terminator fit

}  // namespace

fs::RemovalReport RemoveProgramFolder(std::string_view root, RemovalView view, bool (*retry)()) {
  const std::string folder = DeriveInstallTexts(root).oldFolder;
  runtime::Progress progress;
  fs::RemovalReport report;
  const auto remove = [&] { report = fs::RemoveTreeWhole(folder, &progress); };
  do {
    ui::RunWhileLive(view.window, view.bar, &progress, remove);
  } while (report.result == fs::WholeRemoval::kInUse && retry());
  return report;
}

std::string RemovalFailedMessage(const fs::RemovalReport& report) {
  // msvcrt's conversion: formatted printing would add some 20 KB to the uninstaller.
  char digits[kDecimalDigits] = {};
  return "未能删除 brisel 的文件：" + report.where + "（系统错误 " +
         _ultoa(report.error, digits, kDecimal) + "）。安装记录保持不变。";
}

void RemoveUninstallerAndEmptyRoot(std::string_view root) {
  fs::RemoveFile(DeriveInstallTexts(root).uninstallerPath);
  // Refuses empty, relative, drive-root and system-folder paths.
  (void)fs::RemoveEmptyDirectory(root);
}

}  // namespace app
