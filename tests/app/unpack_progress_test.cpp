#include "app/unpack_progress.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using app::OutputFile;

// A file table as the build lays it out: each file's size (64-bit little-endian), then its path
// and a zero byte.
std::vector<std::uint8_t> FileTable(
    const std::vector<std::pair<std::uint64_t, std::string>>& files) {
  std::vector<std::uint8_t> table;
  for (const auto& [size, path] : files) {
    for (int byte = 0; byte < 8; ++byte)
      table.push_back(static_cast<std::uint8_t>(size >> (8 * byte)));
    table.insert(table.end(), path.begin(), path.end());
    table.push_back(0);
  }
  return table;
}

// The extractor's output as a test sets it: the files by their paths, and the bytes counted.
struct ScriptedOutput final : app::OutputProbe {
  std::map<std::string, OutputFile, std::less<>> files;
  std::uint64_t counted = 0;

  bool Exists(std::string_view path) override { return files.contains(path); }
  OutputFile Inspect(std::string_view path) override {
    const auto found = files.find(path);
    return found != files.end() ? found->second : OutputFile{};
  }
  std::uint64_t BytesWritten() override { return counted; }
};

const std::vector<std::uint8_t> kTwoFiles = FileTable({{1000, "a\\one"}, {5000, "a\\two"}});

// 7-Zip sets each file to its full length before writing it. Wine's files are sparse, so only
// their allocation grows with the bytes written; on NTFS the allocation is whole at once and only
// the process's write count tells, which Wine cannot show (its counters read 0): the script plays
// both file systems.
TEST(UnpackProgress, AFileSetToItsFullLengthCountsOnlyTheBytesWrittenIntoIt) {
  ScriptedOutput wine;
  app::UnpackProgress onWine(kTwoFiles);
  wine.files["a\\one"] = {true, 1000, 1000};
  wine.files["a\\two"] = {true, 5000, 1200};
  EXPECT_EQ(onWine.Update(wine), 2200u) << "the first file is complete once the second exists";

  ScriptedOutput ntfs;
  app::UnpackProgress onNtfs(kTwoFiles);
  ntfs.files["a\\one"] = {true, 1000, 1000};
  ntfs.files["a\\two"] = {true, 5000, 5000};
  ntfs.counted = 3100;
  EXPECT_EQ(onNtfs.Update(ntfs), 3100u);
  ntfs.counted = 9000;
  EXPECT_EQ(onNtfs.Update(ntfs), 6000u) << "never past the files' total";
}

TEST(UnpackProgress, NeverMovesBack) {
  ScriptedOutput output;
  app::UnpackProgress progress(kTwoFiles);
  output.files["a\\one"] = {true, 700, 4096};
  EXPECT_EQ(progress.Update(output), 700u);
  output.files["a\\one"] = {true, 0, 0};  // rewritten from the start, as an overwrite does
  EXPECT_EQ(progress.Update(output), 700u);
}

}  // namespace
