#include "app/install_texts.h"

#include <gtest/gtest.h>

#include "app/record_layout.h"

namespace {

TEST(DerivedTexts, DefaultRootKeepsTheDoubledBackslashesOfPlainConcatenation) {
  const app::InstallTexts texts = app::DeriveInstallTexts("C:\\Quorvale\\");
  EXPECT_EQ(texts.oldFolder, "C:\\Quorvale\\\\brisel");
  EXPECT_EQ(texts.archivePath, "C:\\Quorvale\\\\brisel.7z");
  EXPECT_EQ(texts.startProgramCheck, "C:\\Quorvale\\\\brisel\\startup.exe");
  EXPECT_EQ(texts.mainProgramPath, "C:\\Quorvale\\brisel\\brisel.exe");
  EXPECT_EQ(texts.startProgramPath, "C:\\Quorvale\\brisel\\startup.exe");
}

TEST(ExtractorCommandLine, UnquotedForPathsWithoutBlanks) {
  EXPECT_EQ(app::ExtractorCommandLine("Z:\\dist", "C:\\Quorvale\\"),
            "Z:\\dist\\lib\\7z.exe x C:\\Quorvale\\\\brisel.7z -oC:\\Quorvale\\ -aoa");
  EXPECT_EQ(app::ExtractorCommandLine("C:", "D:\\\\Quorvale\\"),
            "C:\\lib\\7z.exe x D:\\\\Quorvale\\\\brisel.7z -oD:\\\\Quorvale\\ -aoa");
}

TEST(ExtractorCommandLine, EachPartWithABlankOrTabIsQuotedOnItsOwn) {
  EXPECT_EQ(app::ExtractorCommandLine("C:\\My Setup", "D:\\Apps\\Quorvale\\"),
            "\"C:\\My Setup\\lib\\7z.exe\" x D:\\Apps\\Quorvale\\\\brisel.7z "
            "-oD:\\Apps\\Quorvale\\ -aoa");
  EXPECT_EQ(app::ExtractorCommandLine("C:\\setup", "D:\\Program Files\\Quorvale\\"),
            "C:\\setup\\lib\\7z.exe x \"D:\\Program Files\\Quorvale\\\\brisel.7z\" "
            "\"-oD:\\Program Files\\Quorvale\\\" -aoa");
  EXPECT_EQ(app::ExtractorCommandLine("C:\\setup", "D:\\a\tb\\"),
            "C:\\setup\\lib\\7z.exe x \"D:\\a\tb\\\\brisel.7z\" \"-oD:\\a\tb\\\" -aoa");
}

TEST(TypedRoot, CompletedWithABackslashOnlyWhenItsLastCharacterIsNotOne) {
  EXPECT_EQ(app::WithTrailingBackslash("D:\\Apps"), "D:\\Apps\\");
  EXPECT_EQ(app::WithTrailingBackslash("D:\\Apps\\"), "D:\\Apps\\");
  EXPECT_EQ(app::WithTrailingBackslash("C:\\"), "C:\\");
  EXPECT_EQ(app::WithTrailingBackslash(""), "");
  // "\xd5\x5c" is one GBK character whose trail byte is 0x5C: not a backslash.
  EXPECT_EQ(app::WithTrailingBackslash("D:\\\xd5\x5c"), "D:\\\xd5\x5c\\");
  EXPECT_EQ(app::WithTrailingBackslash("D:\\\xd5\x5c\\"), "D:\\\xd5\x5c\\");
}

TEST(InstalledMarker, FirstFourBytesLittleEndianAndOnlyExactlyOneCounts) {
  using runtime::Bytes;
  EXPECT_EQ(app::InstalledMarker(std::nullopt), 0u);
  EXPECT_EQ(app::InstalledMarker(Bytes{}), 0u);
  EXPECT_EQ(app::InstalledMarker(Bytes{1, 0, 0}), 1u);  // a REG_DWORD 1 as ReadValue delivers it
  EXPECT_EQ(app::InstalledMarker(Bytes{1}), 1u);
  EXPECT_EQ(app::InstalledMarker(Bytes{'1'}), 0x31u);  // REG_SZ "1" is not installed
  EXPECT_EQ(app::InstalledMarker(Bytes{1, 0, 0, 0, 9}), 1u);
  EXPECT_EQ(app::InstalledMarker(Bytes{0, 1, 0}), 0x100u);
}

}  // namespace
