#pragma once
// The SHA-256 of the extractor an installer is built to start, as it lies in that build's
// lib\7z.exe (signed, where signing is set up). Each installer's build defines it from the
// extractor it ships; the uninstaller, which starts no extractor, has none.

#include "fs/file_sha256.h"

namespace app {

[[nodiscard]] const fs::Sha256Digest& ShippedExtractorDigest();

}  // namespace app
