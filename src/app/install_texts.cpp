#include "app/install_texts.h"

#include "app/product.h"
#include "runtime/gbk.h"

namespace app {

namespace {

template <typename... Parts>
std::string Join(Parts... parts) {
  std::string joined;
  (joined.append(std::string_view(parts)), ...);
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
      .oldFolder = Join(root, "\\", kProductName),
      .archivePath = Join(root, "\\", kProductName, kArchiveExtension),
      .startProgramCheck = Join(root, "\\", kProductName, "\\", kStartProgramFile),
      .mainProgramPath = Join(root, kProductName, "\\", kProductName, kProgramExtension),
      .startProgramPath = Join(root, kProductName, "\\", kStartProgramFile),
      .legacyUninstallerPath = Join(root, kUninstallerFile),
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
  return Argument(Join(ownDirectory, "\\", kExtractorFile)) + " x " +
         Argument(Join(root, "\\", kProductName, kArchiveExtension)) + " " +
         Argument(Join("-o", root)) + " -aoa";
}

}  // namespace app
