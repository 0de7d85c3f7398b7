#include "app/unpack_progress.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using app::OutputFile;

// The extractor's output as a test sets it: the files by their place, and the bytes counted.
struct ScriptedOutput final : app::OutputProbe {
  std::map<std::size_t, OutputFile> files;
  std::uint64_t counted = 0;

  bool Exists(std::size_t file) override { return files.contains(file); }
  OutputFile Inspect(std::size_t file) override {
    return files.contains(file) ? files[file] : OutputFile{};
  }
  std::uint64_t BytesWritten() override { return counted; }
};

// 7-Zip sets each file to its full length before writing it. Wine's files are sparse, so only
// their allocation grows with the bytes written; on NTFS the allocation is whole at once and only
// the process's write count tells, which Wine cannot show (its counters read 0): the script plays
// both file systems.
TEST(UnpackProgress, AFileSetToItsFullLengthCountsOnlyTheBytesWrittenIntoIt) {
  ScriptedOutput wine;
  app::UnpackProgress onWine({1000, 5000});
  wine.files[0] = {true, 1000, 1000};
  wine.files[1] = {true, 5000, 1200};
  EXPECT_EQ(onWine.Update(wine), 2200u) << "the first file is complete once the second exists";

  ScriptedOutput ntfs;
  app::UnpackProgress onNtfs({1000, 5000});
  ntfs.files[0] = {true, 1000, 1000};
  ntfs.files[1] = {true, 5000, 5000};
  ntfs.counted = 3100;
  EXPECT_EQ(onNtfs.Update(ntfs), 3100u);
  ntfs.counted = 9000;
  EXPECT_EQ(onNtfs.Update(ntfs), 6000u) << "never past the files' total";
}

TEST(UnpackProgress, NeverMovesBack) {
  ScriptedOutput output;
  app::UnpackProgress progress({4000});
  output.files[0] = {true, 3000, 4096};
  EXPECT_EQ(progress.Update(output), 3000u);
  output.files[0] = {true, 0, 0};  // rewritten from the start, as an overwrite does
  EXPECT_EQ(progress.Update(output), 3000u);
}

}  // namespace
