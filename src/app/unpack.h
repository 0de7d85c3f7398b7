#pragma once
// Writing the payload archive out and having the extractor unpack it, with the window live.

#include <string>

#include "app/extractor_check.h"

namespace app {

enum class UnpackResult { Unpacked, ReadFailed, WriteFailed, UnpackFailed, Cancelled };

// Work that needs nothing the unpacking makes, done on the unpacking's worker thread once the
// extractor has started, while it runs: `work(context)`, when `work` is set.
struct Alongside {
  void (*work)(void*) = nullptr;
  void* context = nullptr;
};

// What WriteAndUnpack came to, with the Win32 error of the read that failed for ReadFailed.
struct UnpackReport {
  UnpackResult result;
  unsigned long readError = 0;
};

// Writes the payload archive to `archivePath` on a worker thread in the Writing look, read from the
// installer's own file, the bar moving with the bytes written; then, in the Unpacking look, starts
// `extractor` with its `commandLine` hidden, does `alongside` and waits for it, the bar moving with
// the bytes unpacked into `root` (full once the extractor succeeded). The window handles its
// messages all along and ignores what would start another step; closing it asks whether to cancel.
// Cancelled once the user answered OK: the write stopped, or the extractor ended and waited for.
// Otherwise ReadFailed when the installer's file could not be read, WriteFailed when the archive
// could not be written, UnpackFailed when the extractor could not be started or ended with an exit
// code other than 0.
[[nodiscard]] UnpackReport WriteAndUnpack(const std::wstring& archivePath,
                                          const CheckedExtractor& extractor,
                                          const std::wstring& commandLine, const std::wstring& root,
                                          const Alongside& alongside = {});

}  // namespace app
