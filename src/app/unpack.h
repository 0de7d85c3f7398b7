#pragma once
// Writing the payload archive out and having the extractor unpack it, with the window live.

#include <string>

namespace app {

enum class UnpackResult { Unpacked, WriteFailed, UnpackFailed };

// Writes the payload archive to `archivePath` on a worker thread in the Writing look, the bar
// moving with the bytes written; then, in the Unpacking look, runs the extractor's `commandLine`
// hidden and waits for it, the bar moving with the bytes unpacked into `root` (full once the
// extractor succeeded). The window handles its messages all along and ignores what would start
// another step. WriteFailed when the archive could not be written, UnpackFailed when the extractor
// could not be started or ended with an exit code other than 0.
[[nodiscard]] UnpackResult WriteAndUnpack(const std::string& archivePath,
                                          const std::string& commandLine, const std::string& root);

}  // namespace app
