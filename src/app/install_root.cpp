#include "app/install_root.h"

namespace app {

namespace {
std::wstring g_installRoot;
}

std::wstring& InstallRoot() { return g_installRoot; }

void ReleaseInstallRoot() {
  g_installRoot.clear();
  g_installRoot.shrink_to_fit();
}

}  // namespace app
