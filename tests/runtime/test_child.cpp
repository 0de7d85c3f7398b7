// A small program the running-program tests start. It tells what it was started with:
//   exit <code> <milliseconds>  sleeps, then ends with the code
//   show                        ends with the show command it was given (1000: none given)
//   report <file>               writes "<show command> <current directory>" into the file
//   errors <code> <count>       prints "output" on its standard output and the lines
//                               "error line 1" .. "error line <count>" on its standard error,
//                               then ends with the code
//   output                      ends with 0 when its standard output is a file or device other
//                               than a console, 1 when it is a console, 2 when it has none

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kNoShowCommand = 1000;

int GivenShowCommand() {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : kNoShowCommand;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "exit") == 0) {
    Sleep(static_cast<DWORD>(std::atoi(argv[3])));
    return std::atoi(argv[2]);
  }
  if (argc == 2 && std::strcmp(argv[1], "show") == 0) return GivenShowCommand();
  if (argc == 4 && std::strcmp(argv[1], "errors") == 0) {
    std::fputs("output\n", stdout);
    for (int line = 1; line <= std::atoi(argv[3]); ++line)
      std::fprintf(stderr, "error line %d\n", line);
    return std::atoi(argv[2]);
  }
  if (argc == 2 && std::strcmp(argv[1], "output") == 0) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return 2;
    return GetConsoleMode(output, &mode) ? 1 : 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "report") == 0) {
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, directory);
    FILE* report = std::fopen(argv[2], "w");
    if (report == nullptr) return 2;
    std::fprintf(report, "%d %s", GivenShowCommand(), directory);
    std::fclose(report);
    return 0;
  }
  return 1;
}
