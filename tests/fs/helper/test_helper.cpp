// Second process for the fs tests.
//   hold <file> <ready event> <release event>
//     opens the file without delete sharing, signals ready, keeps it open until released
//   hold-shared <file or directory> <ready event> <release event>
//     the same, sharing everything, deletion included
//   run <ready event> <release event>
//     holds nothing itself: signals ready and runs until released
//   load <dll>            exits with 1 when the DLL loads by its bare name, else 0
//   restricted-load <dll> the same after the installer's start-up DLL restriction
//   rename <from> <to>    exits with 0 when the file or directory could be renamed, else 1

#include <windows.h>

#include <string_view>

#include "fs/system_library.h"
#include "test_support.h"

namespace {

constexpr int kUsageError = 2;
constexpr DWORD kHoldLimitMilliseconds = 60000;

// Signals ready, then waits until released.
int RunUntilReleased(const char* readyEvent, const char* releaseEvent) {
  const runtime::ScopedHandle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, readyEvent));
  const runtime::ScopedHandle release(OpenEventA(SYNCHRONIZE, FALSE, releaseEvent));
  if (!ready.Valid() || !release.Valid()) return kUsageError;
  SetEvent(ready.Get());
  WaitForSingleObject(release.Get(), kHoldLimitMilliseconds);
  return 0;
}

int HoldFile(const char* file, DWORD share, const char* readyEvent, const char* releaseEvent) {
  const runtime::ScopedHandle held(CreateFileA(file, GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                               FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!held.Valid()) return kUsageError;
  return RunUntilReleased(readyEvent, releaseEvent);
}

int LoadsByBareName(const char* dll) {
  const HMODULE module = LoadLibraryA(dll);
  if (module == nullptr) return 0;
  FreeLibrary(module);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view mode = argc > 1 ? argv[1] : "";
  if (mode == "hold" && argc == 5) {
    return HoldFile(argv[2], FILE_SHARE_READ | FILE_SHARE_WRITE, argv[3], argv[4]);
  }
  if (mode == "hold-shared" && argc == 5) {
    return HoldFile(argv[2], FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, argv[3],
                    argv[4]);
  }
  if (mode == "run" && argc == 4) return RunUntilReleased(argv[2], argv[3]);
  if (mode == "load" && argc == 3) return LoadsByBareName(argv[2]);
  if (mode == "rename" && argc == 4) return MoveFileExA(argv[2], argv[3], 0) ? 0 : 1;
  if (mode == "restricted-load" && argc == 3) {
    fs::RestrictDllSearchToSystem();
    return LoadsByBareName(argv[2]);
  }
  return kUsageError;
}
