#include "app/messages.h"

#include "app/owned_files.h"
#include "runtime/dialogs.h"

namespace app {

namespace {

constexpr std::uint64_t kBytesPerMiB = 1024 * 1024;

}  // namespace

int ShowError(const char* message, int style) {
  // Owned by the main window, the owner every box gets once the window exists.
  return runtime::ShowMessageBox(message, style, "Error");
}

bool AskToCancelInstallation() {
  return ShowError(kCancelQuestion, kQuestionStyle) == runtime::kPressedOk;
}

void AskToStartProgramFromDesktop() {
  (void)runtime::ShowMessageBox(kStartProgramYourself, MB_ICONINFORMATION, kInstallerCaption);
}

bool AskToRetryWhileProgramRuns() {
  return ShowError(kProgramRunning, kProgramRunningStyle) == runtime::kPressedRetry;
}

std::string DiskSpaceShortMessage(std::uint64_t needBytes, std::uint64_t freeBytes) {
  return "磁盘空间不足！安装需要 " + std::to_string((needBytes + kBytesPerMiB - 1) / kBytesPerMiB) +
         " MB，所选磁盘只有 " + std::to_string(freeBytes / kBytesPerMiB) +
         " MB 可用，请更换安装目录。";
}

}  // namespace app
