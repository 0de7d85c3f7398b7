// The payload read through the exe file rather than where its image maps it.
#include "runtime/image_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "runtime/files.h"
#include "runtime/gbk.h"
#include "runtime/image_file_for_testing.h"
#include "runtime/payload.h"
#include "test_support.h"

namespace runtime {
namespace {

// A medium that fails mid-way cannot be had under Wine: a copy of the exe cut short after its
// headers fails the read the same way, and the outcome is a value, never an exception.
TEST(ReadFromImageFile, AFileThatCannotBeReadIsAnErrorValue) {
  const testing::TemporaryDirectory directory;
  wchar_t own[MAX_PATH] = {};
  ASSERT_NE(GetModuleFileNameW(nullptr, own, MAX_PATH), 0u);
  const std::string head = testing::ReadWholeFile(own).substr(0, 4096);
  const std::wstring cut = directory.Inside(L"cut.exe");
  ASSERT_TRUE(WriteFile(cut, {ByteView(reinterpret_cast<const std::uint8_t*>(head.data()), 4096)}));
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
      {"whole", own, true, ImageRead::kRead, 0},
  };
  for (const auto& c : kCases) {
    bool taken = c.taken;
    const ImageReadReport read = ReadFromImageFileForTesting(
        c.file, PayloadArchive(),
        [](ByteView, void* context) {
          SetLastError(ERROR_DISK_FULL);
          return *static_cast<bool*>(context);
        },
        &taken);
    EXPECT_EQ(read.outcome, c.outcome) << c.what;
    EXPECT_EQ(read.error, c.error) << c.what;
  }
}

}  // namespace
}  // namespace runtime
