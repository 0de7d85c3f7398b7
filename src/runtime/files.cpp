#include "runtime/files.h"

#include <windows.h>

#include <map>
#include <string>

#include "runtime/gbk.h"
#include "runtime/scoped_handle.h"

namespace runtime {

namespace {

struct OpenMode {
  DWORD access;
  DWORD disposition;
};

// Indexed by access - 1.
constexpr OpenMode kOpenModes[] = {
    {GENERIC_READ, OPEN_EXISTING},
    {GENERIC_WRITE, OPEN_EXISTING},
    {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING},
    {GENERIC_WRITE, CREATE_ALWAYS},
    {GENERIC_WRITE, OPEN_ALWAYS},
    {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS},
};

// Indexed by sharing - 1.
constexpr DWORD kShareModes[] = {
    FILE_SHARE_READ | FILE_SHARE_WRITE,
    FILE_SHARE_WRITE,
    FILE_SHARE_READ,
    0,
};

// The open files by number. Only the user-interface thread opens and closes files.
std::map<int, ScopedHandle>& OpenFiles() {
  static std::map<int, ScopedHandle> files;
  return files;
}

// The smallest positive number not in use, so that numbers stay small over a long run.
int FreeFileNumber(const std::map<int, ScopedHandle>& files) {
  int number = 1;
  for (const auto& entry : files) {
    if (entry.first != number) break;
    ++number;
  }
  return number;
}

}  // namespace

bool PathExists(std::string_view path) {
  WIN32_FIND_DATAW found;
  const ScopedFind search(FindFirstFileW(GbkToWide(path).c_str(), &found));
  return search.Valid();
}

bool WriteFile(std::string_view path, std::initializer_list<ByteView> parts) {
  if (path.empty()) return false;
  ScopedHandle file(CreateFileW(GbkToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  for (ByteView part : parts) {
    if (part.empty()) continue;
    DWORD written = 0;
    if (!::WriteFile(file.Get(), part.data(), static_cast<DWORD>(part.size()), &written, nullptr) ||
        written != part.size()) {
      return false;
    }
  }
  return true;
}

int OpenFile(std::string_view path, int access, int sharing) {
  if (access < kOpenRead || access > kOpenReadWriteKeep || sharing < kShareAll ||
      sharing > kShareExclusive) {
    return 0;
  }
  const OpenMode mode = kOpenModes[access - 1];
  ScopedHandle file(CreateFileW(GbkToWide(path).c_str(), mode.access, kShareModes[sharing - 1],
                                nullptr, mode.disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return 0;
  auto& files = OpenFiles();
  const int number = FreeFileNumber(files);
  files.emplace(number, std::move(file));
  return number;
}

void CloseFile(int fileNumber) { OpenFiles().erase(fileNumber); }

}  // namespace runtime
