#pragma once
// How far the extractor has got, told from what can be seen of its output while it runs: 7-Zip
// writes the archive's files one after another, in the order of its listing, which the build
// knows with each file's size (the payload's file table).

#include <cstdint>
#include <string_view>

#include "runtime/payload_record.h"

namespace app {

// What can be seen of one output file while the extractor writes it.
struct OutputFile {
  bool exists = false;
  std::uint64_t length = 0;     // its end of file
  std::uint64_t allocated = 0;  // the bytes the file system has given it
};

// Where the progress looks: the output files by their paths below the install root (UTF-8), and
// the extractor's own count of the bytes it has written (0 where the system does not count them).
class OutputProbe {
 public:
  virtual ~OutputProbe() = default;
  // Whether the file has been created.
  [[nodiscard]] virtual bool Exists(std::string_view path) = 0;
  // What the file looks like now; not existing when it cannot be seen.
  [[nodiscard]] virtual OutputFile Inspect(std::string_view path) = 0;
  // The bytes the extractor has written so far, or 0.
  [[nodiscard]] virtual std::uint64_t BytesWritten() = 0;
};

class UnpackProgress {
 public:
  // Follows the files of a file table (payload_record.h), which stays where it is meanwhile.
  explicit UnpackProgress(runtime::ByteView fileTable);

  // The bytes unpacked by now, as the probe shows them: never less than an earlier answer, never
  // more than the table's total.
  [[nodiscard]] std::uint64_t Update(OutputProbe& probe);

 private:
  runtime::PayloadFile current_;  // the file being written; those before it are complete
  runtime::ByteView following_;   // the files after it
  std::uint64_t completed_ = 0;   // the bytes of the files before it
  std::uint64_t shown_ = 0;
};

}  // namespace app
