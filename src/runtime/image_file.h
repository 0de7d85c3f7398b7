#pragma once
// Bytes of this program's image read from its exe file instead of where the image maps them. A
// mapped page that cannot be read (a network share that drops, a USB stick pulled, a bad sector)
// raises an in-page exception, which ends the process; a read of the file fails with an error.

#include <atomic>
#include <string>

#include "runtime/bytes.h"
#include "runtime/progress.h"

namespace runtime {

// How a read of image bytes through the file ended: every byte read and taken; a read (or the
// file's open) failed; the taker stopped it.
enum class ImageRead { kRead, kReadFailed, kStopped };

// The outcome, with the Win32 error of the call that failed.
struct ImageReadReport {
  ImageRead outcome = ImageRead::kRead;
  unsigned long error = 0;
};

// Reads `inImage`, a range of the image of the module that holds it, from that module's file,
// piece by piece into one buffer, handing each piece in order to `take(piece, context)`; a take
// that returns false stops the read (kStopped, with the thread's last error). kReadFailed when the
// file cannot be opened or read, or does not hold the range where its section headers say.
[[nodiscard]] ImageReadReport ReadFromImageFile(ByteView inImage,
                                                bool (*take)(ByteView piece, void* context),
                                                void* context);

// As above, with any callable taking a piece and giving a bool.
template <typename Take>
[[nodiscard]] ImageReadReport ReadFromImageFile(ByteView inImage, const Take& take) {
  return ReadFromImageFile(
      inImage,
      [](ByteView piece, void* context) { return (*static_cast<const Take*>(context))(piece); },
      const_cast<void*>(static_cast<const void*>(&take)));
}

// Creates or truncates the file at `path` and writes `inImage` into it, read as
// ReadFromImageFile reads it, counting in `progress` (when given) the bytes written. kStopped with
// the error when the file cannot be created or written, and with ERROR_CANCELLED once `cancel`
// (when given) is set, before the next piece (bytes written before stay).
[[nodiscard]] ImageReadReport WriteFromImageFile(const std::wstring& path, ByteView inImage,
                                                 Progress* progress = nullptr,
                                                 const std::atomic<bool>* cancel = nullptr);

}  // namespace runtime
