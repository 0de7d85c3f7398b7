#include "runtime/files.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/file_find.h"
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

// The open files: number n is slot n - 1, a closed number an empty slot. Only the user-interface
// thread opens and closes files.
std::vector<ScopedHandle>& OpenFiles() {
  static std::vector<ScopedHandle> files;
  return files;
}

// Large enough that the pieces cost nothing beside the disk's time.
constexpr std::size_t kWritePiece = std::size_t{8} << 20;

}  // namespace

std::wstring TemporaryFolder() {
  std::wstring folder(MAX_PATH + 1, L'\0');
  const DWORD length = GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
  if (length == 0 || length >= folder.size()) return {};
  folder.resize(length);
  return folder;
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
  const ScopedHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  if (!file.Valid() || !GetFileSizeEx(file.Get(), &size) || size.HighPart != 0) return {};
  std::string content(size.LowPart, '\0');
  DWORD read = 0;
  if (!::ReadFile(file.Get(), content.data(), size.LowPart, &read, nullptr) ||
      read != size.LowPart) {
    return {};
  }
  return content;
}

bool PathExists(const std::wstring& path) {
  FoundEntry first;
  return FileEnumerator(path).NextAny(first);
}

bool WriteFile(const std::wstring& path, std::initializer_list<ByteView> parts) {
  if (path.empty()) return false;
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  for (ByteView part : parts) {
    while (!part.empty()) {
      const ByteView piece = part.first(std::min(part.size(), kWritePiece));
      DWORD written = 0;
      if (!::WriteFile(file.Get(), piece.data(), static_cast<DWORD>(piece.size()), &written,
                       nullptr) ||
          written != piece.size()) {
        return false;
      }
      part = part.subspan(piece.size());
    }
  }
  return true;
}

int OpenFile(const std::wstring& path, int access, int sharing) {
  if (access < kOpenRead || access > kOpenReadWriteKeep || sharing < kShareAll ||
      sharing > kShareExclusive) {
    return 0;
  }
  const OpenMode mode = kOpenModes[access - 1];
  ScopedHandle file(CreateFileW(path.c_str(), mode.access, kShareModes[sharing - 1], nullptr,
                                mode.disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return 0;
  // The smallest number not in use, so that numbers stay small over a long run.
  auto& files = OpenFiles();
  auto slot = std::find_if(files.begin(), files.end(),
                           [](const ScopedHandle& open) { return !open.Valid(); });
  if (slot == files.end()) slot = files.insert(files.end(), ScopedHandle());
  *slot = std::move(file);
  return static_cast<int>(slot - files.begin()) + 1;
}

void CloseFile(int fileNumber) {
  auto& files = OpenFiles();
  if (fileNumber >= 1 && static_cast<std::size_t>(fileNumber) <= files.size()) {
    files[static_cast<std::size_t>(fileNumber) - 1].Reset();
  }
}

}  // namespace runtime
