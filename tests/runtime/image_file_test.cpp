// The payload read through the exe file rather than where its image maps it.
#include "runtime/image_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "runtime/files.h"
#include "runtime/gbk.h"
#include "runtime/image_file_for_testing.h"
#include "runtime/payload.h"
#include "test_support.h"

namespace runtime {
namespace {

using testing::ReadWholeFile;
using testing::TemporaryDirectory;

// Several of the pieces it is read in, as the installer writes it.
TEST(WriteFromImageFile, WritesThePayloadWholeWithEveryByteCounted) {
  const TemporaryDirectory directory;
  const std::string path = directory.Inside("brisel.7z");
  const ByteView archive = PayloadArchive();
  Progress progress;
  progress.done = 99;
  const ImageReadReport written = WriteFromImageFile(path, archive, &progress);
  EXPECT_EQ(written.outcome, ImageRead::kRead);
  EXPECT_EQ(progress.total, archive.size());
  EXPECT_EQ(progress.done, archive.size());
  const std::string file = ReadWholeFile(path);
  ASSERT_EQ(file.size(), archive.size());
  EXPECT_TRUE(std::equal(
      archive.begin(), archive.end(), file.begin(),
      [](std::uint8_t byte, char read) { return byte == static_cast<std::uint8_t>(read); }));
  const ImageReadReport refused = WriteFromImageFile(directory.Path(), archive);
  EXPECT_EQ(refused.outcome, ImageRead::kStopped) << "a folder cannot be written as a file";
}

// A medium that fails mid-way cannot be had under Wine: a copy of the exe cut short after its
// headers fails the read the same way, as an error value.
TEST(ReadFromImageFile, AFileThatCannotBeReadIsAnErrorNeverACrash) {
  const TemporaryDirectory directory;
  wchar_t own[MAX_PATH] = {};
  ASSERT_NE(GetModuleFileNameW(nullptr, own, MAX_PATH), 0u);
  const std::wstring cut = GbkToWide(directory.Inside("cut.exe"));
  {
    const std::string whole = ReadWholeFile(WideToGbk(own));
    const std::string head = whole.substr(0, 4096);
    ASSERT_TRUE(
        WriteFile(WideToGbk(cut),
                  {ByteView(reinterpret_cast<const std::uint8_t*>(head.data()), head.size())}));
  }
  const struct {
    const char* what;
    std::wstring file;
    bool taken;
    ImageRead outcome;
    DWORD error;
  } kCases[] = {
      {"cut short", cut, true, ImageRead::kReadFailed, ERROR_HANDLE_EOF},
      {"gone", cut + L".gone", true, ImageRead::kReadFailed, ERROR_FILE_NOT_FOUND},
      {"stopped by its taker", own, false, ImageRead::kStopped, ERROR_DISK_FULL},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    bool taken = c.taken;
    const ImageReadReport read = ReadFromImageFileForTesting(
        c.file, PayloadArchive(),
        [](ByteView, void* context) {
          if (!*static_cast<bool*>(context)) SetLastError(ERROR_DISK_FULL);
          return *static_cast<bool*>(context);
        },
        &taken);
    EXPECT_EQ(read.outcome, c.outcome);
    EXPECT_EQ(read.error, c.error);
  }
}

}  // namespace
}  // namespace runtime
