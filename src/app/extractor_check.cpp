#include "app/extractor_check.h"

#include <windows.h>

#include <utility>

#include "app/extractor_digest.h"
#include "app/handlers.h"
#include "app/messages.h"
#include "fs/files.h"
#include "runtime/log_format.h"
#include "runtime/run_log.h"
#include "ui/busy.h"
#include "ui/main_window.h"

namespace app {

namespace {

constexpr wchar_t kExtractorBelowOwnDirectory[] = L"\\lib\\7z.exe";
// The extractor is not the shipped one: nothing was touched, and the installer ends.
constexpr int kExitExtractorRefused = 1;

// The start-up check: its worker, and what it found, which the window's thread takes only once the
// worker has ended. Its worker is the first to reach the hashing's function-local statics; the
// window's thread reaches them only after it. Never destroyed: a program that ends while the
// worker still hashes must not free what the worker writes.
struct EarlyCheck {
  std::wstring path;
  CheckedExtractor checked;
  runtime::ScopedHandle worker;
};
EarlyCheck* g_early = nullptr;

DWORD WINAPI CheckEarly(void* early) {
  auto& state = *static_cast<EarlyCheck*>(early);
  state.checked = CheckedExtractor::Check(state.path, ShippedExtractorDigest());
  return 0;
}

// The path the extractor's command line is built from.
std::wstring ExtractorPath() { return fs::OwnDirectory() + kExtractorBelowOwnDirectory; }

// The digest as lower-case hexadecimal digits, as sha256sum prints it.
std::string HexText(const fs::Sha256Digest& digest) {
  constexpr char kDigits[] = "0123456789abcdef";
  constexpr unsigned kNibbleBits = 4, kNibbleMask = 0xF;
  std::string text;
  for (const std::uint8_t byte : digest) {
    text += kDigits[byte >> kNibbleBits];
    text += kDigits[byte & kNibbleMask];
  }
  return text;
}

}  // namespace

CheckedExtractor CheckedExtractor::Check(std::wstring path, const fs::Sha256Digest& expected) {
  CheckedExtractor checked;
  checked.path_ = std::move(path);
  // Readable and executable by the loader, which shares reading and deletion only: held so, the
  // file can be neither written nor deleted nor renamed, and on NTFS no folder above it renamed.
  runtime::ScopedHandle file(CreateFileW(checked.path_.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                         nullptr));
  if (!file.Valid()) {
    checked.error_ = GetLastError();
    checked.result_ =
        checked.error_ == ERROR_FILE_NOT_FOUND || checked.error_ == ERROR_PATH_NOT_FOUND
            ? ExtractorCheck::kMissing
            : ExtractorCheck::kUnreadable;
    return checked;
  }
  const fs::Sha256Result hashed = fs::Sha256OfFile(file.Get());
  if (!hashed.digest) {
    checked.result_ = ExtractorCheck::kUnreadable;
    checked.error_ = hashed.error;
    return checked;
  }
  checked.digest_ = *hashed.digest;
  checked.error_ = ERROR_SUCCESS;
  if (checked.digest_ != expected) {
    checked.result_ = ExtractorCheck::kDifferent;
    return checked;
  }
  checked.result_ = ExtractorCheck::kTrusted;
  checked.held_ = std::move(file);
  return checked;
}

runtime::CapturingProgram CheckedExtractor::Start(const std::wstring& commandLine) const {
  if (result_ != ExtractorCheck::kTrusted) return runtime::CapturingProgram({}, {}, error_);
  // The checked path names the program; the command line stays as it was built, its first word
  // only what the extractor reads as its own name.
  return runtime::StartCapturingErrors(commandLine, path_);
}

void StartExtractorCheck() {
  g_early = new EarlyCheck{ExtractorPath(), {}, {}};
  g_early->worker.Reset(CreateThread(nullptr, 0, &CheckEarly, g_early, 0, nullptr));
  // Behind the window's thread, as the payload's check: the window shows as fast as without it.
  if (g_early->worker.Valid()) {
    (void)SetThreadPriority(g_early->worker.Get(), THREAD_PRIORITY_BELOW_NORMAL);
  }
}

CheckedExtractor RequireTrustedExtractor() {
  const std::wstring path = ExtractorPath();
  const runtime::LoggedStep step(L"extractor check " + path);
  CheckedExtractor checked;
  bool early = false;
  // Only a trusted extractor, held since, is taken from the start-up check: anything else may have
  // been put right since and is checked again.
  const auto takeEarly = [&] {
    if (g_early != nullptr && g_early->worker.Valid()) {
      WaitForSingleObject(g_early->worker.Get(), INFINITE);
      g_early->worker.Reset();
      early = g_early->checked.Result() == ExtractorCheck::kTrusted;
      if (early) checked = std::move(g_early->checked);
    }
  };
  // A check that has ended is taken at once; one still hashing, or a new check of a stalled
  // medium, must not freeze the window.
  if (g_early != nullptr && g_early->worker.Valid() &&
      WaitForSingleObject(g_early->worker.Get(), 0) == WAIT_OBJECT_0) {
    takeEarly();
  }
  if (!early) {
    ui::RunWhileLive(ui::MainWindow(), {}, [&] {
      takeEarly();
      if (!early) checked = CheckedExtractor::Check(path, ShippedExtractorDigest());
    });
  }
  if (early) runtime::Log("extractor check: trusted and held since the program started");
  switch (checked.Result()) {
    case ExtractorCheck::kTrusted:
      step.End(true);
      return checked;
    case ExtractorCheck::kMissing:
      step.End(false, checked.Error());
      return checked;
    case ExtractorCheck::kDifferent:
      step.End(false);
      runtime::Log("extractor check: its SHA-256 is " + HexText(checked.Digest()) +
                   ", the build shipped " + HexText(ShippedExtractorDigest()));
      break;
    case ExtractorCheck::kUnreadable:
      step.End(false, checked.Error());
      runtime::Log("extractor check: it cannot be read");
      break;
  }
  ShowError(kExtractorReplaced);
  EndInstaller(kExitExtractorRefused);
}

}  // namespace app
