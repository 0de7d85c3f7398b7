#include "measures.h"

#include <psapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <string_view>

namespace bench {

namespace {

constexpr wchar_t kRecordKey[] = L"SOFTWARE\\VELTRANE";

}  // namespace

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::wstring WindowsPath(std::wstring path) {
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

double NowMs() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER value{};
    QueryPerformanceFrequency(&value);
    return value.QuadPart;
  }();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency);
}

std::optional<ULONGLONG> FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::optional<double> LoggedStepMs(const std::string& step) {
  wchar_t temporary[MAX_PATH] = {};
  if (GetTempPathW(MAX_PATH, temporary) == 0) return std::nullopt;
  const std::wstring folder = std::wstring(temporary) + L"Veltrane\\";
  WIN32_FIND_DATAW found{};
  std::wstring newest;
  FILETIME newestTime{};
  const HANDLE search = FindFirstFileW((folder + L"setup-*.log").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return std::nullopt;
  do {
    if (newest.empty() || CompareFileTime(&found.ftLastWriteTime, &newestTime) > 0) {
      newest = found.cFileName;
      newestTime = found.ftLastWriteTime;
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  const runtime::ScopedHandle file(CreateFileW((folder + newest).c_str(), GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
  if (!file.Valid()) return std::nullopt;
  std::string text(1 << 16, '\0');
  DWORD read = 0;
  if (!ReadFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr)) {
    return std::nullopt;
  }
  text.resize(read);
  // "<date> <time> <step>: ok, <N> ms"
  constexpr std::string_view kOk = ": ok, ";
  for (std::size_t at = text.find(" " + step); at != std::string::npos;
       at = text.find(" " + step, at + 1)) {
    const std::size_t end = text.find('\n', at);
    const std::string line = text.substr(at, end == std::string::npos ? end : end - at);
    const std::size_t ok = line.find(kOk);
    if (ok != std::string::npos) return std::atof(line.c_str() + ok + kOk.size());
  }
  return std::nullopt;
}

void CleanMachine() {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, view, 0);
  }
  for (const wchar_t* root : {kInstallRoot, kNsisRoot, kSfxRoot}) {
    std::wstring path = root;
    if (path.back() == L'\\') path.pop_back();
    driver::RemoveTree(path);
  }
  wchar_t appData[MAX_PATH] = {};
  if (SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE)) {
    DeleteFileW((std::wstring(appData) + L"\\path.dat").c_str());
  }
}

std::optional<driver::Process> StartProgram(const std::wstring& commandLine, Subsystem subsystem) {
  std::wstring mutableLine = commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  DWORD flags = DETACHED_PROCESS;
  BOOL inherit = FALSE;
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  runtime::ScopedHandle nullDevice;
  if (subsystem != Subsystem::Gui) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    flags = subsystem == Subsystem::Console ? CREATE_NEW_CONSOLE : CREATE_NO_WINDOW;
  }
  if (subsystem == Subsystem::WindowlessConsole) {
    nullDevice.Reset(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                                 nullptr));
    if (!nullDevice.Valid()) return std::nullopt;
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nullDevice.Get();
    inherit = TRUE;
  }
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, inherit, flags, nullptr,
                      nullptr, &startup, &info)) {
    return std::nullopt;
  }
  CloseHandle(info.hThread);
  return driver::Process(info.hProcess, info.dwProcessId);
}

SIZE_T PrivateBytes(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof(counters))) {
    return 0;
  }
  return counters.PagefileUsage;
}

bool PollWhileSampling(const std::function<bool()>& condition, HANDLE process, MemoryPeak& peak,
                       DWORD timeout) {
  const double deadline = NowMs() + timeout;
  for (;;) {
    peak.Sample(process);
    if (condition()) return true;
    if (NowMs() > deadline) return false;
    Sleep(1);
  }
}

std::optional<DWORD> WaitForExitSampling(driver::Process& process, MemoryPeak& peak,
                                         DWORD timeout) {
  const double deadline = NowMs() + timeout;
  while (WaitForSingleObject(process.Handle(), 1) == WAIT_TIMEOUT) {
    peak.Sample(process.Handle());
    if (NowMs() > deadline) return std::nullopt;
  }
  return process.WaitForExit(0);
}

HWND WaitForShownWindow(const driver::Process& process, DWORD timeout) {
  const double deadline = NowMs() + timeout;
  while (NowMs() <= deadline && process.Running()) {
    if (HWND window = driver::FindShownWindow(process.Id()); window != nullptr) return window;
    Sleep(1);
  }
  return nullptr;
}

runtime::ScopedHandle OpenChildProcess(DWORD parentId, const wchar_t* exeName) {
  const runtime::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.Valid()) return {};
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ParentProcessID == parentId && _wcsicmp(entry.szExeFile, exeName) == 0) {
      return runtime::ScopedHandle(
          OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    }
  }
  return {};
}

std::optional<double> Lifetime(HANDLE process) {
  FILETIME created{};
  FILETIME exited{};
  FILETIME kernel{};
  FILETIME user{};
  if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0 ||
      !GetProcessTimes(process, &created, &exited, &kernel, &user)) {
    return std::nullopt;
  }
  const auto ticks = [](FILETIME time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return static_cast<double>(ticks(exited) - ticks(created)) / 10000.0;
}

void MemoryPeak::Sample(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof(counters))) {
    return;
  }
  workingSet = std::max({workingSet, counters.PeakWorkingSetSize, counters.WorkingSetSize});
  privateBytes = std::max({privateBytes, counters.PeakPagefileUsage, counters.PagefileUsage});
}

}  // namespace bench
