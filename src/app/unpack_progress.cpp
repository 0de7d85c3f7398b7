#include "app/unpack_progress.h"

#include <algorithm>

namespace app {

UnpackProgress::UnpackProgress(runtime::ByteView fileTable) : following_(fileTable) {
  (void)runtime::TakePayloadFile(following_, current_);
}

std::uint64_t UnpackProgress::Update(OutputProbe& probe) {
  if (current_.path.empty()) return shown_;
  // 7-Zip closes each file before it creates the next: a file whose successor exists is complete.
  runtime::PayloadFile next;
  for (runtime::ByteView after = following_;
       runtime::TakePayloadFile(after, next) && probe.Exists(next.path); following_ = after) {
    completed_ += current_.size;
    current_ = next;
  }
  // 7-Zip on Windows sets a file to its full length before it writes it. Where the file system
  // gives the bytes only as they are written (Wine, on Linux's sparse files), the allocation tells
  // how far it got; NTFS allocates the whole length at once, but Windows counts the bytes the
  // extractor writes, and that count then tells.
  const OutputFile file = probe.Inspect(current_.path);
  std::uint64_t written = file.exists ? std::min({current_.size, file.length, file.allocated}) : 0;
  if (const std::uint64_t counted = probe.BytesWritten(); counted > 0) {
    written = std::clamp(counted, completed_, completed_ + current_.size) - completed_;
  }
  shown_ = std::max(shown_, completed_ + written);
  return shown_;
}

}  // namespace app
