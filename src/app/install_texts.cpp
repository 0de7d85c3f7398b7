#include "app/install_texts.h"

#include "runtime/gbk.h"

namespace app {

namespace {

std::string Join(std::string_view first, std::string_view second) {
  std::string joined(first);
  joined += second;
  return joined;
}

// One command-line part, quoted when a blank or a tab would otherwise split it.
std::string Argument(std::string part) {
  if (part.find_first_of(" \t") == std::string::npos) return part;
  return "\"" + part + "\"";
}

}  // namespace

InstallTexts DeriveInstallTexts(std::string_view root) {
  return InstallTexts{
      .oldFolder = Join(root, "\\brisel"),
      .archivePath = Join(root, "\\brisel.7z"),
      .startProgramCheck = Join(root, "\\brisel\\startup.exe"),
      .mainProgramPath = Join(root, "brisel\\brisel.exe"),
      .startProgramPath = Join(root, "brisel\\startup.exe"),
      .uninstallerPath = Join(root, "uninstall.exe"),
  };
}

std::string WithTrailingBackslash(std::string_view root) {
  // The search is GBK-aware: it never reports the trail byte of a character.
  if (root.empty() || runtime::LastBackslash(root) == root.size() - 1) {
    return std::string(root);
  }
  return Join(root, "\\");
}

std::string ExtractorCommandLine(std::string_view ownDirectory, std::string_view root) {
  return Argument(Join(ownDirectory, "\\lib\\7z.exe")) + " x " +
         Argument(Join(root, "\\brisel.7z")) + " " + Argument(Join("-o", root)) + " -aoa";
}

}  // namespace app
