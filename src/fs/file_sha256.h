#pragma once
// The SHA-256 of a file read through a handle the caller holds: what is hashed is exactly what
// that handle reads, whatever happens to the file's name meanwhile. Computed by the system's CNG
// (bcrypt.dll), loaded from the system directory only.

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>

namespace fs {

inline constexpr std::size_t kSha256Bytes = 32;
using Sha256Digest = std::array<std::uint8_t, kSha256Bytes>;

// What Sha256OfFile came to: the digest, or nothing with the Win32 error of the read (or the CNG
// status of the hash) that failed.
struct Sha256Result {
  std::optional<Sha256Digest> digest;
  unsigned long error = ERROR_SUCCESS;
};

// Hashes what `file` (open for reading, synchronous) reads from its current position to its end.
[[nodiscard]] Sha256Result Sha256OfFile(HANDLE file);

}  // namespace fs
