// Stands in for lib\7z.exe in end-to-end tests: records the command line it was started with in
// commandline.txt beside itself and exits with the code written in exitcode.txt there (0 when
// that file is missing), after sleeping the milliseconds written in sleep.txt (if any). When
// files.txt lies beside it (one "path<TAB>size" line per file, UTF-8, paths below the output
// folder), it writes those files into the folder its -o switch names, slowly as a game-sized
// unpacking would: each file held open while a quarter of it after another is written, pausing
// the milliseconds of pause.txt after each quarter. It never reads the archive. When it fails, it
// leaves a file brisel\partial below its -o folder, as an unpack cut short, and names it on its
// standard error as 7-Zip names a damaged file.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kQuarters = 4;

// A small text file's bytes; empty when it is missing.
std::string TextIn(const std::wstring& path) {
  std::string text;
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  text.resize(GetFileSize(file, nullptr));
  DWORD read = 0;
  ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
  CloseHandle(file);
  text.resize(read);
  return text;
}

// The decimal number a small text file holds; 0 when it is missing.
int NumberIn(const std::wstring& path) { return std::atoi(TextIn(path).c_str()); }

std::wstring Wide(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(),
                                                      static_cast<int>(utf8.size()), wide.data(),
                                                      static_cast<int>(wide.size()))));
  return wide;
}

// Writes the listed files below the output folder, a quarter at a time.
void WriteSlowly(const std::string& list, const std::wstring& output, DWORD pause) {
  size_t start = 0;
  for (size_t end; (end = list.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = list.substr(start, end - start);
    const size_t tab = line.find('\t');
    const std::wstring path = output + Wide(line.substr(0, tab));
    const size_t size = std::strtoull(line.c_str() + tab + 1, nullptr, 10);
    for (size_t folder = path.find(L'\\', output.size()); folder != std::wstring::npos;
         folder = path.find(L'\\', folder + 1)) {
      CreateDirectoryW(path.substr(0, folder).c_str(), nullptr);
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    const std::vector<char> quarter(size / kQuarters + 1, 'x');
    for (size_t written = 0; written < size; Sleep(pause)) {
      DWORD count = 0;
      WriteFile(file, quarter.data(), static_cast<DWORD>(std::min(quarter.size(), size - written)),
                &count, nullptr);
      written += count;
    }
    CloseHandle(file);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
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

  const wchar_t* output = nullptr;
  for (int index = 1; index < argc; ++index) {
    if (wcsncmp(argv[index], L"-o", 2) == 0) output = argv[index] + 2;
  }
  if (output != nullptr) {
    WriteSlowly(TextIn(directory + L"files.txt"), output,
                static_cast<DWORD>(NumberIn(directory + L"pause.txt")));
  }
  Sleep(static_cast<DWORD>(NumberIn(directory + L"sleep.txt")));
  const int exitCode = NumberIn(directory + L"exitcode.txt");
  if (exitCode != 0 && output != nullptr) {
    const std::wstring folder = std::wstring(output) + L"brisel";
    CreateDirectoryW(folder.c_str(), nullptr);
    CloseHandle(CreateFileW((folder + L"\\partial").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    constexpr char kErrorLine[] = "ERROR: Data Error : brisel\\partial\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), kErrorLine, sizeof kErrorLine - 1, &written, nullptr);
  }
  return exitCode;
}
