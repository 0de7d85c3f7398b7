// The payload archive the installer carries: where it lives, how it is written out, and that the
// real 7-Zip program unpacks what was written.
#include "runtime/payload.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "runtime/files.h"
#include "runtime/gbk.h"

namespace {

namespace fs = std::filesystem;

using runtime::PayloadArchive;

// The checked archive the build embedded, the folder of the built installer, and whether the
// payload is this project's own product (sample or benchmark) or a vendor archive.
const fs::path kEmbeddedArchive = VELTRANE_TEST_EMBEDDED_ARCHIVE;
const fs::path kDistDirectory = VELTRANE_TEST_DIST_DIRECTORY;
constexpr bool kOwnProduct = VELTRANE_TEST_OWN_PRODUCT;
constexpr bool kHasStartProgram = VELTRANE_TEST_HAS_START_PROGRAM;

constexpr std::uint8_t kSignatureAndVersion[] = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C, 0x00, 0x04};

[[nodiscard]] std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

[[nodiscard]] std::vector<std::uint8_t> RecordHead(std::uint32_t length) {
  return {0x01,
          0x00,
          0x00,
          0x00,
          static_cast<std::uint8_t>(length),
          static_cast<std::uint8_t>(length >> 8),
          static_cast<std::uint8_t>(length >> 16),
          static_cast<std::uint8_t>(length >> 24)};
}

// A fresh folder under the temporary folder, removed with everything in it afterwards.
class PayloadFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
    folder_ = fs::path(temp) / (L"veltrane-payload-" + std::to_wstring(GetCurrentProcessId()));
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    ASSERT_TRUE(fs::create_directories(folder_));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // The installer's archive path in this folder.
  [[nodiscard]] std::wstring ArchiveText() const { return (folder_ / L"brisel.7z").wstring(); }

  // Writes the payload as the installer does and unpacks it with dist\lib\7z.exe into the folder.
  void WriteAndUnpack() const {
    ASSERT_TRUE(runtime::WriteFile(ArchiveText(), {PayloadArchive()}));
    const std::wstring extractor = (kDistDirectory / L"lib" / L"7z.exe").make_preferred().wstring();
    const std::wstring folder = fs::path(folder_).make_preferred().wstring();
    auto process = driver::Start(L"\"" + extractor + L"\" x \"" + folder + L"\\brisel.7z\" \"-o" +
                                 folder + L"\" -aoa");
    ASSERT_TRUE(process.has_value()) << "cannot start " << fs::path(extractor).string();
    EXPECT_EQ(process->WaitForExit(60000), std::optional<DWORD>(0));
  }

  fs::path folder_;
};

TEST(PayloadInInstallerExe, HoldsTheRecordHeadFollowedByTheUnchangedArchive) {
  const std::vector<std::uint8_t> archive = ReadBytes(kEmbeddedArchive);
  ASSERT_GE(archive.size(), 32u);
  const std::vector<std::uint8_t> exe = ReadBytes(kDistDirectory / L"VeltraneSetup.exe");
  ASSERT_FALSE(exe.empty());

  std::vector<std::uint8_t> headAndStart = RecordHead(static_cast<std::uint32_t>(archive.size()));
  headAndStart.insert(headAndStart.end(), archive.begin(), archive.begin() + 32);
  const auto found = std::search(exe.begin(), exe.end(), headAndStart.begin(), headAndStart.end());
  ASSERT_NE(found, exe.end()) << "no record of " << archive.size() << " archive bytes in the exe";
  const auto recordArchive = found + 8;
  ASSERT_GE(exe.end() - recordArchive, static_cast<std::ptrdiff_t>(archive.size()));
  EXPECT_TRUE(std::equal(archive.begin(), archive.end(), recordArchive));
}

TEST(PayloadInConstantData, IsTheArchiveViewedInPlaceInTheImagesReadOnlyData) {
  const runtime::ByteView payload = PayloadArchive();
  const std::vector<std::uint8_t> archive = ReadBytes(kEmbeddedArchive);
  ASSERT_EQ(payload.size(), archive.size());
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), archive.begin()));

  const std::vector<std::uint8_t> head(payload.data() - 8, payload.data());
  EXPECT_EQ(head, RecordHead(static_cast<std::uint32_t>(archive.size())));

  // Inside this exe's own image, on pages nobody can write.
  const auto* image = reinterpret_cast<const std::uint8_t*>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
  EXPECT_GE(payload.data() - 8, image);
  EXPECT_LE(payload.data() + payload.size(), image + nt->OptionalHeader.SizeOfImage);
  MEMORY_BASIC_INFORMATION pages{};
  ASSERT_NE(VirtualQuery(payload.data() - 8, &pages, sizeof(pages)), 0u);
  EXPECT_EQ(pages.Type, static_cast<DWORD>(MEM_IMAGE));
  EXPECT_EQ(pages.Protect, static_cast<DWORD>(PAGE_READONLY));
}

using PayloadWrite = PayloadFolderTest;

TEST_F(PayloadWrite, WrittenFileIsTheArchiveByteForByte) {
  ASSERT_TRUE(runtime::WriteFile(ArchiveText(), {PayloadArchive()}));

  const std::vector<std::uint8_t> written = ReadBytes(folder_ / L"brisel.7z");
  EXPECT_EQ(written, ReadBytes(kEmbeddedArchive));
  ASSERT_GE(written.size(), sizeof(kSignatureAndVersion));
  EXPECT_TRUE(std::equal(std::begin(kSignatureAndVersion), std::end(kSignatureAndVersion),
                         written.begin()));
}

TEST_F(PayloadWrite, ReplacesALongerExistingArchiveCompletely) {
  {
    std::ofstream longer(folder_ / L"brisel.7z", std::ios::binary);
    const std::string filler(PayloadArchive().size() + 65536, '\xEE');
    longer << filler;
  }
  ASSERT_TRUE(runtime::WriteFile(ArchiveText(), {PayloadArchive()}));

  EXPECT_EQ(fs::file_size(folder_ / L"brisel.7z"), PayloadArchive().size());
  EXPECT_EQ(ReadBytes(folder_ / L"brisel.7z"), ReadBytes(kEmbeddedArchive));
}

using PayloadUnpack = PayloadFolderTest;

TEST_F(PayloadUnpack, RealExtractorUnpacksTheBriselFolderWithItsProgramsToTheEmbeddedSize) {
  WriteAndUnpack();

  EXPECT_TRUE(fs::is_regular_file(folder_ / L"brisel" / L"brisel.exe"));
  EXPECT_EQ(fs::is_regular_file(folder_ / L"brisel" / L"startup.exe"), kHasStartProgram)
      << "a payload lacks startup.exe only in builds that allow it on purpose";
  std::uintmax_t unpacked = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder_)) {
    if (entry.is_regular_file() && entry.path().filename() != L"brisel.7z") {
      unpacked += entry.file_size();
    }
  }
  EXPECT_EQ(unpacked, runtime::PayloadUnpackedSize());
}

using SampleStartProgram = PayloadFolderTest;

TEST_F(SampleStartProgram, NotesItsStartBesideItselfAndSaysTheProductIsInstalled) {
  if (!kOwnProduct || !kHasStartProgram) GTEST_SKIP() << "the payload's startup.exe is not ours";
  WriteAndUnpack();
  const fs::path program = folder_ / L"brisel" / L"startup.exe";
  const fs::path marker = folder_ / L"brisel" / L"startup.ran";
  ASSERT_FALSE(fs::exists(marker));

  // Started from another folder: the marker goes beside the program, not into the current one.
  auto process = driver::Start(L"\"" + program.wstring() + L"\"", folder_.wstring());
  ASSERT_TRUE(process.has_value());
  const HWND window = driver::WaitForWindow(process->Id(), L"Veltrane brisel");
  ASSERT_NE(window, nullptr);
  const HWND text = FindWindowExW(window, nullptr, L"Static", nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(driver::Text(text), L"Veltrane brisel 已安装");
  EXPECT_TRUE(driver::WaitUntil([&] { return fs::exists(marker); }));
  const std::vector<std::uint8_t> noted = ReadBytes(marker);
  EXPECT_EQ(std::string(noted.begin(), noted.end()), "Veltrane brisel startup ran\r\n");
  EXPECT_FALSE(fs::exists(folder_ / L"startup.ran"));

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(process->WaitForExit(), std::optional<DWORD>(0));
}

}  // namespace
