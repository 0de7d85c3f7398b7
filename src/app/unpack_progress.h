#pragma once
// How far the extractor has got, told from what can be seen of its output while it runs: 7-Zip
// writes the archive's files one after another, in the order of its listing, which the build
// knows with each file's size.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace app {

// What can be seen of one output file while the extractor writes it.
struct OutputFile {
  bool exists = false;
  std::uint64_t length = 0;     // its end of file
  std::uint64_t allocated = 0;  // the bytes the file system has given it
};

// Where the progress looks: the output files by their place in the unpacking order, and the
// extractor's own count of the bytes it has written (0 where the system does not count them).
class OutputProbe {
 public:
  virtual ~OutputProbe() = default;
  [[nodiscard]] virtual bool Exists(std::size_t file) = 0;
  [[nodiscard]] virtual OutputFile Inspect(std::size_t file) = 0;
  [[nodiscard]] virtual std::uint64_t BytesWritten() = 0;
};

class UnpackProgress {
 public:
  // The sizes of the files that have bytes, in unpacking order.
  explicit UnpackProgress(std::vector<std::uint64_t> sizes) : sizes_(std::move(sizes)) {}

  // The bytes unpacked by now, as the probe shows them: never less than an earlier answer, never
  // more than the files' total.
  [[nodiscard]] std::uint64_t Update(OutputProbe& probe);

 private:
  std::vector<std::uint64_t> sizes_;
  std::size_t current_ = 0;      // the file being written; those before it are complete
  std::uint64_t completed_ = 0;  // the bytes of the files before it
  std::uint64_t shown_ = 0;
};

}  // namespace app
