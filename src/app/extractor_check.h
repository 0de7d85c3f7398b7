#pragma once
// The extractor checked before the elevated installer runs it. lib\7z.exe lies beside the
// installer, where the user who downloaded it (perhaps a standard user, whose installer an
// administrator elevated) can put any program: it runs only when it is the one the build shipped,
// held open against writing, deletion and renaming from the check until its process has started.

#include <string>

#include "fs/file_sha256.h"
#include "runtime/process.h"
#include "runtime/scoped_handle.h"

namespace app {

// What the check found: the shipped extractor, none at all, another file, or one it cannot read.
enum class ExtractorCheck { kTrusted, kMissing, kDifferent, kUnreadable };

class CheckedExtractor {
 public:
  CheckedExtractor() = default;

  // Opens the file at `path` sharing it for reading only, hashes it through that handle and
  // compares the digest with `expected`; a trusted extractor keeps the handle for its lifetime.
  [[nodiscard]] static CheckedExtractor Check(std::wstring path, const fs::Sha256Digest& expected);

  [[nodiscard]] ExtractorCheck Result() const { return result_; }
  // The Win32 error that made it missing or unreadable.
  [[nodiscard]] unsigned long Error() const { return error_; }
  // The file's digest, for a different one.
  [[nodiscard]] const fs::Sha256Digest& Digest() const { return digest_; }
  [[nodiscard]] const std::wstring& Path() const { return path_; }

  // Starts `commandLine` hidden with the checked file as the program, as StartCapturingErrors
  // does. An extractor that is not trusted is never started: the start then fails as a missing
  // program's does (ERROR_FILE_NOT_FOUND).
  [[nodiscard]] runtime::CapturingProgram Start(const std::wstring& commandLine) const;

 private:
  std::wstring path_;
  runtime::ScopedHandle held_;
  ExtractorCheck result_ = ExtractorCheck::kMissing;
  unsigned long error_ = ERROR_FILE_NOT_FOUND;
  fs::Sha256Digest digest_{};
};

// Starts checking lib\7z.exe beside the installer on a worker thread, while the user reads the
// window: a trusted extractor is then held from the program's start. Called once, before the
// window is created; where no thread can be had, the click checks it.
void StartExtractorCheck();

// Checks lib\7z.exe beside the installer against the build's digest as a step of the main window
// (taking the start-up check's trusted result, once, instead of checking again),
// logging what it found. A different or unreadable extractor is told and ends the installer with
// exit code 1, nothing touched; a trusted or missing one is given back (a missing one fails to
// start later, as the installation always told it).
[[nodiscard]] CheckedExtractor RequireTrustedExtractor();

}  // namespace app
