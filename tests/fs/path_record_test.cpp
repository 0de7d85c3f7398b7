#include "fs/path_record.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include "runtime/gbk.h"
#include "test_support.h"

namespace {

using fs_test::PathExists;
using fs_test::ReadBytes;
using fs_test::WriteBytes;

std::wstring AppDataFolder() {
  wchar_t folder[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"APPDATA", folder, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(folder) + L'\\' : L"";
}

TEST(SpecialFolderPath, GivesTheFolderWithOneTrailingBackslash) {
  const std::wstring appData = fs::SpecialFolderPath(CSIDL_APPDATA);
  ASSERT_FALSE(AppDataFolder().empty());
  EXPECT_EQ(appData, AppDataFolder());
  EXPECT_EQ(appData.substr(appData.size() - 2), L"g\\");  // ...\AppData\Roaming\, one backslash
}

TEST(SpecialFolderPath, IsEmptyForAnUnknownFolder) { EXPECT_EQ(fs::SpecialFolderPath(0x7f), L""); }

// path.dat in the roaming application-data folder, removed before and after each case.
class WritePathRecord : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(AppDataFolder().empty());
    Clear();
  }
  void TearDown() override { Clear(); }

  void Clear() const {
    SetFileAttributesW(record_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(record_.c_str());
    RemoveDirectoryW(pending_.c_str());
    DeleteFileW(pending_.c_str());
  }

  const std::wstring record_ = AppDataFolder() + L"path.dat";
  const std::wstring pending_ = record_ + L".new";
};

TEST_F(WritePathRecord, WritesThreeGbkLinesWithoutFinalBreak) {
  EXPECT_TRUE(fs::WritePathRecord(L"C:\\Quorvale\\brisel\\brisel.exe",
                                  L"C:\\Quorvale\\brisel\\startup.exe", L"C:\\Quorvale\\"));
  const std::string bytes = ReadBytes(record_);
  EXPECT_EQ(bytes,
            "C:\\Quorvale\\brisel\\brisel.exe\r\nC:\\Quorvale\\brisel\\startup.exe\r\n"
            "C:\\Quorvale\\");
  EXPECT_EQ(bytes.size(), 75u);
  EXPECT_FALSE(PathExists(pending_));
}

TEST_F(WritePathRecord, ReplacesALongerOldRecordEntirely) {
  ASSERT_TRUE(WriteBytes(record_, std::string(300, 'x')));
  EXPECT_TRUE(fs::WritePathRecord(L"a", L"b", L"c"));
  EXPECT_EQ(ReadBytes(record_), "a\r\nb\r\nc");
}

TEST_F(WritePathRecord, WritesChineseTextsAsGbkBytesAndKeepsAnEmptyThirdLine) {
  EXPECT_TRUE(fs::WritePathRecord(L"D:\\安装\\brisel.exe", L"D:\\安装\\startup.exe", L""));
  EXPECT_EQ(ReadBytes(record_),
            "D:\\\xb0\xb2\xd7\xb0\\brisel.exe\r\nD:\\\xb0\xb2\xd7\xb0\\startup.exe\r\n");
}

TEST_F(WritePathRecord, KeepsTheOldRecordWhenTheNewOneCannotBeWritten) {
  ASSERT_TRUE(WriteBytes(record_, "old record"));
  // A directory in the way of the new content's file makes the write fail.
  ASSERT_TRUE(fs_test::MakeDirectory(pending_));
  EXPECT_FALSE(fs::WritePathRecord(L"a", L"b", L"c"));
  EXPECT_EQ(ReadBytes(record_), "old record");
}

TEST_F(WritePathRecord, KeepsTheOldRecordWhenItCannotBeReplaced) {
  ASSERT_TRUE(WriteBytes(record_, "old record"));
  {
    const runtime::ScopedHandle locked(CreateFileW(record_.c_str(), GENERIC_READ, 0, nullptr,
                                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(locked.Valid());
    EXPECT_FALSE(fs::WritePathRecord(L"a", L"b", L"c"));
  }
  EXPECT_EQ(ReadBytes(record_), "old record");
  EXPECT_FALSE(PathExists(pending_));
}

}  // namespace
