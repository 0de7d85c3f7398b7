#include "app/unpack.h"

#include <windows.h>

#include <string_view>

#include "app/unpack_progress.h"
#include "runtime/files.h"
#include "runtime/gbk.h"
#include "runtime/payload.h"
#include "runtime/process.h"
#include "runtime/scoped_handle.h"
#include "ui/main_window.h"

namespace app {

namespace {

// The UTF-16 form of a UTF-8 text; empty when it does not convert.
std::wstring Utf8ToWide(std::string_view utf8) {
  const int size = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), units);
  return wide;
}

// The extractor's output as the file system and the system's I/O counts show it.
class FileSystemProbe final : public OutputProbe {
 public:
  FileSystemProbe(const std::string& root, HANDLE extractor)
      : root_(runtime::GbkToWide(root)), extractor_(extractor) {}

  // Whether the extractor has created the file: a path test, which no NTFS listing delays.
  bool Exists(std::string_view path) override {
    return GetFileAttributesW(PathOf(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  // Read through a handle of its own: NTFS updates a listing's size of a file open for writing
  // only when it is closed. Attribute access with full sharing stands in nobody's way.
  OutputFile Inspect(std::string_view path) override {
    const runtime::ScopedHandle handle(
        CreateFileW(PathOf(path).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    0, nullptr));
    FILE_STANDARD_INFO info{};
    if (!handle.Valid() ||
        !GetFileInformationByHandleEx(handle.Get(), FileStandardInfo, &info, sizeof info)) {
      return {};
    }
    return OutputFile{true, static_cast<std::uint64_t>(info.EndOfFile.QuadPart),
                      static_cast<std::uint64_t>(info.AllocationSize.QuadPart)};
  }

  // Windows counts a process's writes; Wine answers 0.
  std::uint64_t BytesWritten() override {
    IO_COUNTERS counters{};
    return GetProcessIoCounters(extractor_, &counters) ? counters.WriteTransferCount : 0;
  }

 private:
  // The file's path below the install root.
  std::wstring PathOf(std::string_view path) const { return root_ + Utf8ToWide(path); }

  std::wstring root_;
  HANDLE extractor_;
};

struct Unpacking {
  UnpackProgress progress;
  FileSystemProbe probe;
  std::uint64_t total;
};

// Moves the progress bar to the bytes the probe shows unpacked (an Unpacking context).
void ShowProgress(void* context) {
  auto& unpacking = *static_cast<Unpacking*>(context);
  ui::SetProgress(unpacking.progress.Update(unpacking.probe), unpacking.total);
}

struct ArchiveWrite {
  const std::string& path;
  bool written = false;
};

// Writes the payload archive (an ArchiveWrite context) and notes whether that succeeded.
DWORD WINAPI WriteArchive(void* context) {
  auto& write = *static_cast<ArchiveWrite*>(context);
  // One write straight from the constant data: the archive is never copied or unpacked here.
  write.written = runtime::WriteFile(write.path, {runtime::PayloadArchive()});
  return 0;
}

// The writing has no progress of its own to show.
void NothingToShow(void*) {}

}  // namespace

UnpackResult WriteAndUnpack(const std::string& archivePath, const std::string& commandLine,
                            const std::string& root) {
  ArchiveWrite write{archivePath};
  // The worker makes no window calls; where no thread can be had, the write blocks the window.
  const runtime::ScopedHandle worker(CreateThread(nullptr, 0, &WriteArchive, &write, 0, nullptr));
  if (worker.Valid()) {
    ui::WaitWhileBusy(worker.Get(), &NothingToShow, nullptr);
  } else {
    WriteArchive(&write);
  }
  if (!write.written) return UnpackResult::WriteFailed;

  const std::uint64_t total = runtime::PayloadUnpackedSize();
  ui::SetProgress(0, total);
  ui::ShowLook(ui::Look::Unpacking);

  const runtime::ScopedHandle extractor = runtime::StartProgram(commandLine, runtime::kShowHidden);
  if (!extractor.Valid()) return UnpackResult::UnpackFailed;
  Unpacking unpacking{UnpackProgress(runtime::PayloadFileTable()),
                      FileSystemProbe(root, extractor.Get()), total};
  ui::WaitWhileBusy(extractor.Get(), &ShowProgress, &unpacking);
  // Clicks on the window while it was busy would land on whatever button stands there now.
  ui::DiscardQueuedInput();
  // An extractor that started but failed has not installed the product: its exit code decides.
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(extractor.Get(), &exitCode) || exitCode != 0) {
    return UnpackResult::UnpackFailed;
  }
  ui::SetProgress(total, total);
  return UnpackResult::Unpacked;
}

}  // namespace app
