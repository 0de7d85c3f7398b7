#include "app/messages.h"

#include "runtime/dialogs.h"
#include "ui/main_window.h"

namespace app {

int ShowError(const char* message, int style) {
  return runtime::ShowMessageBox(message, style, "Error", ui::MainWindow());
}

}  // namespace app
