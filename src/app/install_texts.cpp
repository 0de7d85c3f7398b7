#include "app/install_texts.h"

#include "app/product.h"

namespace app {

namespace {

template <typename... Parts>
std::wstring Join(Parts... parts) {
  std::wstring joined;
  (joined.append(std::wstring_view(parts)), ...);
  return joined;
}

// One command-line part, quoted when a blank or a tab would otherwise split it.
std::wstring Argument(std::wstring part) {
  if (part.find_first_of(L" \t") == std::wstring::npos) return part;
  return L"\"" + part + L"\"";
}

}  // namespace

InstallTexts DeriveInstallTexts(std::wstring_view root) {
  return InstallTexts{
      .oldFolder = Join(root, L"\\", kProductName),
      .archivePath = Join(root, L"\\", kProductName, kArchiveExtension),
      .startProgramCheck = Join(root, L"\\", kProductName, L"\\", kStartProgramFile),
      .mainProgramPath = Join(root, kProductName, L"\\", kProductName, kProgramExtension),
      .startProgramPath = Join(root, kProductName, L"\\", kStartProgramFile),
      .legacyUninstallerPath = Join(root, kUninstallerFile),
  };
}

std::wstring WithTrailingBackslash(std::wstring_view root) {
  if (root.empty() || root.back() == L'\\') return std::wstring(root);
  return Join(root, L"\\");
}

std::wstring ExtractorCommandLine(std::wstring_view ownDirectory, std::wstring_view root) {
  return Argument(Join(ownDirectory, L"\\", kExtractorFile)) + L" x " +
         Argument(Join(root, L"\\", kProductName, kArchiveExtension)) + L" " +
         Argument(Join(L"-o", root)) + L" -aoa";
}

}  // namespace app
