#include "app/unpack.h"

#include <windows.h>

#include <atomic>
#include <string_view>

#include "app/messages.h"
#include "app/unpack_progress.h"
#include "runtime/image_file.h"
#include "runtime/log_format.h"
#include "runtime/long_path.h"
#include "runtime/payload.h"
#include "runtime/process.h"
#include "runtime/run_log.h"
#include "runtime/scoped_handle.h"
#include "ui/busy.h"
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
  FileSystemProbe(const std::wstring& root, HANDLE extractor)
      : root_(Reachable(root)), extractor_(extractor) {}

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
  // The install root, ending in a backslash, in the extended-length form: 7-Zip writes files whose
  // full path passes MAX_PATH, which Windows' file calls reach only so.
  static std::wstring Reachable(const std::wstring& root) {
    const std::wstring extended = runtime::ExtendedLengthPath(root);
    return extended.empty() ? root : extended + L'\\';
  }

  // The file's path below the install root.
  std::wstring PathOf(std::string_view path) const { return root_ + Utf8ToWide(path); }

  std::wstring root_;
  HANDLE extractor_;
};

// How often the unpacked bytes are measured while the extractor runs.
constexpr DWORD kProbeMilliseconds = 100;

// Closing the window while the archive is written or unpacked: asks whether to cancel, and on OK
// sets the flag at `cancelled`, which the step's work heeds.
void AskToCancel(void* cancelled) {
  auto& flag = *static_cast<std::atomic<bool>*>(cancelled);
  if (flag.load(std::memory_order_relaxed) || !AskToCancelInstallation()) return;
  runtime::Log("installation cancelled by the user");
  flag.store(true, std::memory_order_relaxed);
}

// Runs the extractor's command line hidden and waits for it, counting in `progress` the bytes it
// has unpacked into `root`, doing `alongside` once it has started; true when it ran and ended with
// exit code 0. Once `cancelled` is set,
// ends it and waits until it has ended, its files closed. Logs its start, its exit code and what
// it wrote to its error output.
bool RunExtractor(const CheckedExtractor& checked, const std::wstring& commandLine,
                  const std::wstring& root, runtime::Progress& progress,
                  const std::atomic<bool>& cancelled, const Alongside& alongside) {
  runtime::Log(L"extractor command line: " + commandLine);
  const runtime::LoggedStep start("extractor start");
  const runtime::CapturingProgram extractor = checked.Start(commandLine);
  start.End(extractor.Started(), extractor.StartError());
  if (!extractor.Started()) return false;
  if (alongside.work != nullptr) alongside.work(alongside.context);
  const runtime::LoggedStep unpacking("unpacking");
  UnpackProgress unpacked(runtime::PayloadFileTable());
  FileSystemProbe probe(root, extractor.Process());
  while (WaitForSingleObject(extractor.Process(), kProbeMilliseconds) == WAIT_TIMEOUT) {
    if (cancelled.load(std::memory_order_relaxed)) {
      runtime::Log("extractor ended for the cancellation");
      TerminateProcess(extractor.Process(), ERROR_CANCELLED);
      WaitForSingleObject(extractor.Process(), INFINITE);
      break;
    }
    progress.done.store(unpacked.Update(probe), std::memory_order_relaxed);
  }
  // An extractor that started but failed has not installed the product: its exit code decides.
  DWORD exitCode = 0;
  const bool exited = GetExitCodeProcess(extractor.Process(), &exitCode) != 0;
  runtime::LogOutput("7z.exe", extractor.ErrorOutput());
  runtime::Log("extractor exit code " + runtime::DecimalText(exitCode));
  unpacking.End(exited && exitCode == 0);
  return exited && exitCode == 0;
}

}  // namespace

UnpackReport WriteAndUnpack(const std::wstring& archivePath, const CheckedExtractor& extractor,
                            const std::wstring& commandLine, const std::wstring& root,
                            const Alongside& alongside) {
  runtime::Progress progress;
  std::atomic<bool> cancelled{false};
  const ui::OnClose askToCancel{&AskToCancel, &cancelled};
  ui::SetProgress(0, runtime::PayloadArchive().size());
  ui::ShowLook(ui::Look::Writing);
  runtime::ImageReadReport written;
  // Through a buffer from the installer's file: a failing medium is an error, never a crash.
  const auto write = [&] {
    written =
        runtime::WriteFromImageFile(archivePath, runtime::PayloadArchive(), &progress, &cancelled);
  };
  const runtime::LoggedStep writing(L"archive write " + archivePath);
  ui::RunWhileLive(ui::MainWindow(), {ui::ProgressBar(), &progress}, write, askToCancel);
  writing.End(written.outcome == runtime::ImageRead::kRead, written.error);
  if (cancelled.load(std::memory_order_relaxed)) return {UnpackResult::Cancelled};
  if (written.outcome == runtime::ImageRead::kReadFailed) {
    return {UnpackResult::ReadFailed, written.error};
  }
  if (written.outcome == runtime::ImageRead::kStopped) return {UnpackResult::WriteFailed};

  const std::uint64_t total = runtime::PayloadUnpackedSize();
  progress.Restart(total);
  ui::SetProgress(0, total);
  ui::ShowLook(ui::Look::Unpacking);
  bool unpacked = false;
  const auto unpack = [&] {
    unpacked = RunExtractor(extractor, commandLine, root, progress, cancelled, alongside);
  };
  ui::RunWhileLive(ui::MainWindow(), {ui::ProgressBar(), &progress}, unpack, askToCancel);
  if (cancelled.load(std::memory_order_relaxed)) return {UnpackResult::Cancelled};
  if (!unpacked) return {UnpackResult::UnpackFailed};
  ui::SetProgress(total, total);
  return {UnpackResult::Unpacked};
}

}  // namespace app
