// The check of lib\7z.exe: what it judges a file to be, that a trusted one is held against change
// until it has started, and that it is the checked file, not the command line's first word, that
// starts.
#include "app/extractor_check.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "fs/test_support.h"
#include "runtime/gbk.h"
#include "runtime/scoped_handle.h"
#include "runtime/test_support.h"

namespace {

// SHA-256 of "abc" (FIPS 180-2, appendix B.1).
constexpr fs::Sha256Digest kAbcDigest{
    0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea, 0x41, 0x41, 0x40, 0xde, 0x5d, 0xae, 0x22, 0x23,
    0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17, 0x7a, 0x9c, 0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};

TEST(CheckedExtractor, TrustsOnlyTheShippedBytesAndHoldsThemAgainstChange) {
  const fs_test::ScratchDirectory folder(L"extractor");
  ASSERT_TRUE(fs_test::WriteBytes(folder.Wide(L"shipped.exe"), "abc"));
  ASSERT_TRUE(fs_test::WriteBytes(folder.Wide(L"other.exe"), "abd"));
  ASSERT_TRUE(fs_test::WriteBytes(folder.Wide(L"written.exe"), "abc"));
  // Someone holds it open for writing: what is hashed now may not be what would start.
  const runtime::ScopedHandle writer(CreateFileW(folder.Wide(L"written.exe").c_str(), GENERIC_WRITE,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer.Valid());
  struct Row {
    const wchar_t* name;
    app::ExtractorCheck result;
    unsigned long error;
  };
  for (const Row& row :
       {Row{L"shipped.exe", app::ExtractorCheck::kTrusted, ERROR_SUCCESS},
        Row{L"other.exe", app::ExtractorCheck::kDifferent, ERROR_SUCCESS},
        Row{L"written.exe", app::ExtractorCheck::kUnreadable, ERROR_SHARING_VIOLATION},
        Row{L"missing.exe", app::ExtractorCheck::kMissing, ERROR_FILE_NOT_FOUND},
        Row{L"no folder\\7z.exe", app::ExtractorCheck::kMissing, ERROR_PATH_NOT_FOUND}}) {
    const auto checked = app::CheckedExtractor::Check(folder.Wide(row.name), kAbcDigest);
    EXPECT_EQ(checked.Result(), row.result) << runtime::WideToGbk(row.name);
    EXPECT_EQ(checked.Error(), row.error) << runtime::WideToGbk(row.name);
    if (row.result != app::ExtractorCheck::kTrusted) {
      const runtime::CapturingProgram never = checked.Start(L"cmd /c exit 0");
      EXPECT_FALSE(never.Started()) << runtime::WideToGbk(row.name);
      continue;
    }
    const runtime::ScopedHandle rewrite(
        CreateFileW(folder.Wide(row.name).c_str(), GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    0, nullptr));
    EXPECT_FALSE(rewrite.Valid()) << "a held extractor cannot be written";
    EXPECT_FALSE(DeleteFileW(folder.Wide(row.name).c_str())) << "nor deleted";
    EXPECT_FALSE(MoveFileW(folder.Wide(row.name).c_str(), folder.Wide(L"moved.exe").c_str()))
        << "nor renamed";
  }
}

TEST(CheckedExtractor, StartsTheCheckedFileWhateverTheCommandLineNames) {
  const fs_test::ScratchDirectory folder(L"extractor");
  const std::wstring copy = folder.Wide(L"7z.exe");
  ASSERT_TRUE(CopyFileW(runtime::testing::TestChildPath().c_str(), copy.c_str(), FALSE));
  const runtime::ScopedHandle reading(
      CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  const fs::Sha256Result digest = fs::Sha256OfFile(reading.Get());
  ASSERT_TRUE(digest.digest);
  const auto checked = app::CheckedExtractor::Check(copy, *digest.digest);
  ASSERT_EQ(checked.Result(), app::ExtractorCheck::kTrusted);
  const runtime::CapturingProgram started =
      checked.Start(folder.Wide(L"nothing-here.exe") + L" exit 7 0");
  ASSERT_TRUE(started.Started());
  ASSERT_EQ(WaitForSingleObject(started.Process(), 10000), WAIT_OBJECT_0);
  DWORD exitCode = 0;
  EXPECT_TRUE(GetExitCodeProcess(started.Process(), &exitCode));
  EXPECT_EQ(exitCode, 7u);
}

}  // namespace
