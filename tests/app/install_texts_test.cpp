#include "app/install_texts.h"

#include <gtest/gtest.h>

#include "app/record_layout.h"

namespace {

TEST(DerivedTexts, DefaultRootKeepsTheDoubledBackslashesOfPlainConcatenation) {
  const app::InstallTexts texts = app::DeriveInstallTexts(L"C:\\Quorvale\\");
  EXPECT_EQ(texts.oldFolder, L"C:\\Quorvale\\\\brisel");
  EXPECT_EQ(texts.archivePath, L"C:\\Quorvale\\\\brisel.7z");
  EXPECT_EQ(texts.startProgramCheck, L"C:\\Quorvale\\\\brisel\\startup.exe");
  EXPECT_EQ(texts.mainProgramPath, L"C:\\Quorvale\\brisel\\brisel.exe");
  EXPECT_EQ(texts.startProgramPath, L"C:\\Quorvale\\brisel\\startup.exe");
}

TEST(ExtractorCommandLine, UnquotedForPathsWithoutBlanks) {
  EXPECT_EQ(app::ExtractorCommandLine(L"Z:\\dist", L"C:\\Quorvale\\"),
            L"Z:\\dist\\lib\\7z.exe x C:\\Quorvale\\\\brisel.7z -oC:\\Quorvale\\ -aoa");
  EXPECT_EQ(app::ExtractorCommandLine(L"C:", L"D:\\\\Quorvale\\"),
            L"C:\\lib\\7z.exe x D:\\\\Quorvale\\\\brisel.7z -oD:\\\\Quorvale\\ -aoa");
}

TEST(ExtractorCommandLine, EachPartWithABlankOrTabIsQuotedOnItsOwn) {
  EXPECT_EQ(app::ExtractorCommandLine(L"C:\\My Setup", L"D:\\Apps\\Quorvale\\"),
            L"\"C:\\My Setup\\lib\\7z.exe\" x D:\\Apps\\Quorvale\\\\brisel.7z "
            L"-oD:\\Apps\\Quorvale\\ -aoa");
  EXPECT_EQ(app::ExtractorCommandLine(L"C:\\setup", L"D:\\Program Files\\Quorvale\\"),
            L"C:\\setup\\lib\\7z.exe x \"D:\\Program Files\\Quorvale\\\\brisel.7z\" "
            L"\"-oD:\\Program Files\\Quorvale\\\" -aoa");
  EXPECT_EQ(app::ExtractorCommandLine(L"C:\\setup", L"D:\\a\tb\\"),
            L"C:\\setup\\lib\\7z.exe x \"D:\\a\tb\\\\brisel.7z\" \"-oD:\\a\tb\\\" -aoa");
}

TEST(TypedRoot, CompletedWithABackslashOnlyWhenItsLastCharacterIsNotOne) {
  EXPECT_EQ(app::WithTrailingBackslash(L"D:\\Apps"), L"D:\\Apps\\");
  EXPECT_EQ(app::WithTrailingBackslash(L"D:\\Apps\\"), L"D:\\Apps\\");
  EXPECT_EQ(app::WithTrailingBackslash(L"C:\\"), L"C:\\");
  EXPECT_EQ(app::WithTrailingBackslash(L""), L"");
  // "昞" is 95 5C in GBK, a trail byte that reads as a backslash; kept wide, it is a letter.
  EXPECT_EQ(app::WithTrailingBackslash(L"D:\\昞"), L"D:\\昞\\");
  EXPECT_EQ(app::WithTrailingBackslash(L"D:\\昞\\"), L"D:\\昞\\");
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
