// The sample product's main program.
#include <windows.h>

#include "product_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return product::RunTextWindow(instance, L"brisel", L"brisel 正在运行");
}
