// Entry points of the handlers until their procedures are built.
#include "app/handlers.h"

void StartupCheck() {}
void InstallProduct() {}
void ChooseInstallPath(int, int, int) {}
void LaunchAndExit() {}
