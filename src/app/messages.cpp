#include "app/messages.h"

#include "runtime/dialogs.h"

namespace app {

int ShowError(const char* message, int style) {
  // Owned by the main window, the owner every box gets once the window exists.
  return runtime::ShowMessageBox(message, style, "Error");
}

}  // namespace app
