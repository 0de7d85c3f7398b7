// Stands in for lib\7z.exe in end-to-end tests: records the command line it was started with in
// commandline.txt beside itself and exits with the code written in exitcode.txt there (0 when
// that file is missing), after sleeping the milliseconds written in sleep.txt (if any). It unpacks
// nothing but, when it fails, a file brisel\partial below its -o folder, as an unpack cut short.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

// The decimal number a small text file holds; 0 when it is missing.
int NumberIn(const std::wstring& path) {
  char text[16] = {};
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD read = 0;
  ReadFile(file, text, sizeof(text) - 1, &read, nullptr);
  CloseHandle(file);
  return std::atoi(text);
}

}  // namespace

int wmain() {
  wchar_t self[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring directory(self, length);
  directory.resize(directory.find_last_of(L'\\') + 1);

  const wchar_t* commandLine = GetCommandLineW();
  HANDLE record = CreateFileW((directory + L"commandline.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (record != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(record, commandLine, static_cast<DWORD>(wcslen(commandLine) * sizeof(wchar_t)),
              &written, nullptr);
    CloseHandle(record);
  }

  Sleep(static_cast<DWORD>(NumberIn(directory + L"sleep.txt")));
  const int exitCode = NumberIn(directory + L"exitcode.txt");
  if (const wchar_t* output = wcsstr(commandLine, L" -o"); exitCode != 0 && output != nullptr) {
    const std::wstring_view rest(output + 3);
    const std::wstring folder = std::wstring(rest.substr(0, rest.find(L' '))) + L"brisel";
    CreateDirectoryW(folder.c_str(), nullptr);
    CloseHandle(CreateFileW((folder + L"\\partial").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  return exitCode;
}
