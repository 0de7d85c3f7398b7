#include "test_support.h"

#include "driver/driver.h"
#include "runtime/scoped_handle.h"

namespace fs_test {

namespace {

constexpr DWORD kHelperWaitMilliseconds = 30000;

}  // namespace

ScratchDirectory::ScratchDirectory(std::wstring_view name)
    : root_(L"C:\\fs_tests\\" + std::wstring(name)) {
  CreateDirectoryW(L"C:\\fs_tests", nullptr);
  driver::RemoveTree(root_);
  CreateDirectoryW(root_.c_str(), nullptr);
}

ScratchDirectory::~ScratchDirectory() { driver::RemoveTree(root_); }

std::wstring ScratchDirectory::Wide(std::wstring_view relative) const {
  return relative.empty() ? root_ : root_ + L"\\" + std::wstring(relative);
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeDirectory(const std::wstring& path) { return CreateDirectoryW(path.c_str(), nullptr); }

bool WriteBytes(const std::wstring& path, std::string_view bytes) {
  const runtime::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file.Valid() &&
         ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
         written == bytes.size();
}

std::string ReadBytes(const std::wstring& path) {
  const runtime::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return "<unreadable>";
  std::string bytes(GetFileSize(file.Get(), nullptr), '\0');
  DWORD read = 0;
  if (!bytes.empty() &&
      (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
       read != bytes.size())) {
    return "<unreadable>";
  }
  return bytes;
}

bool HostStoresChineseNames() {
  const std::wstring probe = L"C:\\fs_tests\\名";
  CreateDirectoryW(L"C:\\fs_tests", nullptr);
  const bool created = CreateDirectoryW(probe.c_str(), nullptr) || PathExists(probe);
  RemoveDirectoryW(probe.c_str());
  return created;
}

std::wstring TestExecutableDirectory() {
  std::wstring name(MAX_PATH, L'\0');
  name.resize(GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size())));
  return name.substr(0, name.rfind(L'\\'));
}

namespace {

constexpr wchar_t kReadyEvent[] = L"fs_test_helper_ready";
constexpr wchar_t kReleaseEvent[] = L"fs_test_helper_release";

// Starts the helper; the process handle, or an invalid one.
HANDLE StartHelper(const std::wstring& arguments, std::wstring program = L"",
                   const std::wstring& workingDirectory = L"") {
  if (program.empty()) program = TestExecutableDirectory() + L"\\fs_test_helper.exe";
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup,
                      &process)) {
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

}  // namespace

int RunHelper(const std::wstring& arguments) {
  const runtime::ScopedHandle process(StartHelper(arguments));
  DWORD exitCode = 0;
  if (!process.Valid() || WaitForSingleObject(process.Get(), kHelperWaitMilliseconds) != 0 ||
      !GetExitCodeProcess(process.Get(), &exitCode)) {
    return -1;
  }
  return static_cast<int>(exitCode);
}

HelperProcess::HelperProcess(const std::wstring& arguments, const std::wstring& program,
                             const std::wstring& workingDirectory)
    : readyEvent_(CreateEventW(nullptr, TRUE, FALSE, kReadyEvent)),
      releaseEvent_(CreateEventW(nullptr, TRUE, FALSE, kReleaseEvent)),
      process_(StartHelper(arguments + L" " + kReadyEvent + L" " + kReleaseEvent, program,
                           workingDirectory)) {
  ready_ = readyEvent_.Valid() && releaseEvent_.Valid() && process_.Valid() &&
           WaitForSingleObject(readyEvent_.Get(), kHelperWaitMilliseconds) == WAIT_OBJECT_0;
}

HelperProcess::~HelperProcess() {
  if (releaseEvent_.Valid()) SetEvent(releaseEvent_.Get());
  if (process_.Valid()) WaitForSingleObject(process_.Get(), kHelperWaitMilliseconds);
}

HeldFile::HeldFile(const std::wstring& file, bool shareDelete)
    : HelperProcess((shareDelete ? L"hold-shared \"" : L"hold \"") + file + L"\"") {}

}  // namespace fs_test
