// A copy of the installer damaged after the build (a bad download, a failing disk), or its
// extractor replaced: it says so and leaves an earlier installation exactly as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "e2e/installer_fixture.h"
#include "runtime/file_find.h"

namespace e2e {
namespace {

constexpr wchar_t kSetup[] = L"C:\\veltrane-e2e";
constexpr wchar_t kRoot[] = L"C:\\Quorvale";
constexpr wchar_t kDamaged[] = L"安装程序已损坏，请重新下载后再安装。";
constexpr wchar_t kExtractorReplaced[] =
    L"安装程序的解压组件 lib\\7z.exe 已损坏或被替换，请重新下载完整的安装包后再安装。";
constexpr DWORD kDamagedExitCode = 1;
constexpr DWORD kBoxTimeout = 20000;
// The payload record's head: its marker, then the archive's length.
constexpr std::size_t kRecordHeadSize = 8;
constexpr DWORD kRecordMarker = 1;
constexpr BYTE kFlippedBit = 0x10;

// Flips one bit in the middle of the archive the exe carries: the head and every header of the
// exe stay as built, so only the archive's own bytes differ.
void FlipPayloadBit(const std::wstring& exe) {
  auto bytes = FileBytes(exe);
  ASSERT_TRUE(bytes);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes->data());
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes->data() + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  const IMAGE_SECTION_HEADER* const end = section + nt->FileHeader.NumberOfSections;
  while (section != end && std::string(reinterpret_cast<const char*>(section->Name),
                                       strnlen(reinterpret_cast<const char*>(section->Name),
                                               IMAGE_SIZEOF_SHORT_NAME)) != ".payload") {
    ++section;
  }
  ASSERT_NE(section, end) << "no .payload section";
  const BYTE* record = bytes->data() + section->PointerToRawData;
  DWORD marker = 0;
  DWORD length = 0;
  memcpy(&marker, record, sizeof marker);
  memcpy(&length, record + sizeof marker, sizeof length);
  ASSERT_EQ(marker, kRecordMarker);
  ASSERT_GT(length, 0u);
  (*bytes)[section->PointerToRawData + kRecordHeadSize + length / 2] ^= kFlippedBit;
  WriteBytes(exe, *bytes);
}

// Every value of a key under HKEY_LOCAL_MACHINE in the 64-bit view: type and data by name.
std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>> KeyValues(const wchar_t* path) {
  std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>> values;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_64KEY, &key) != 0) {
    return values;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256] = {};
    DWORD nameLength = 256;
    DWORD type = 0;
    BYTE data[4096] = {};
    DWORD size = sizeof data;
    if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) != 0) break;
    values[name] = {type, std::vector<BYTE>(data, data + size)};
  }
  RegCloseKey(key);
  return values;
}

// Every file (with its bytes) and folder (without) below `directory`, by path.
void ListTree(const std::wstring& directory,
              std::map<std::wstring, std::optional<std::vector<BYTE>>>& tree) {
  runtime::FileEnumerator entries(directory + L"\\*");
  runtime::FoundEntry entry;
  while (entries.Next(entry)) {
    const std::wstring path = directory + L"\\" + entry.name;
    if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      tree[path] = std::nullopt;
      ListTree(path, tree);
    } else {
      tree[path] = FileBytes(path);
    }
  }
}

// What an installation consists of: its files in the root, the uninstaller in its folder, the
// record, path.dat and the Apps entry.
struct Installation {
  std::map<std::wstring, std::optional<std::vector<BYTE>>> files;
  std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>> record;
  std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>> appsEntry;
  std::optional<std::vector<BYTE>> pathRecord;
  bool operator==(const Installation&) const = default;
};

Installation CurrentInstallation() {
  Installation installation;
  ListTree(kRoot, installation.files);
  ListTree(PublisherFolder(), installation.files);
  installation.record = KeyValues(L"SOFTWARE\\VELTRANE");
  installation.appsEntry =
      KeyValues(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltrane");
  installation.pathRecord = FileBytes(AppDataPathRecord());
  return installation;
}

// How a copy is damaged, and what it says: a payload bit flipped, or the shipped installer with
// another program (the stand-in, which would unpack nothing and exit 0) in place of lib\7z.exe.
struct Damage {
  Extractor extractor;
  bool flipPayloadBit;
  const wchar_t* message;
};
constexpr Damage kDamages[] = {{Extractor::Real, true, kDamaged},
                               {Extractor::Replaced, false, kExtractorReplaced}};

class DamagedInstallerTest : public InstallerTest {
 protected:
  void LayOutDamaged(const Damage& damage) {
    LayOut(kSetup, damage.extractor);
    if (damage.flipPayloadBit) FlipPayloadBit(directory_ + L"\\VeltraneSetup.exe");
  }

  // Answers the damage message, which must be the only way on, and checks the exit code and that
  // no extractor ran.
  void ExpectDamageToldAndExit(const Damage& damage) {
    const auto box = ErrorBox(kBoxTimeout);
    ASSERT_TRUE(box) << "the damage is told";
    EXPECT_EQ(box->caption, L"Error");
    EXPECT_EQ(box->text, damage.message);
    EXPECT_EQ(box->buttonIds, std::vector<int>{IDOK});
    driver::PressButton(*box, IDOK);
    EXPECT_EQ(installer_.WaitForExit(), std::optional<DWORD>(kDamagedExitCode));
    EXPECT_FALSE(Exists(directory_ + L"\\lib\\commandline.txt")) << "the stand-in never ran";
  }
};

TEST_F(DamagedInstallerTest, OkOnTheReinstallQuestionLeavesTheInstallationAsItWas) {
  LayOut(kSetup, Extractor::Real);
  Launch();
  ClickInstall();
  ASSERT_EQ(Look(), kDoneLook);
  installer_ = driver::Process();
  const Installation before = CurrentInstallation();
  ASSERT_TRUE(before.files.contains(L"C:\\Quorvale\\brisel\\startup.exe"));
  ASSERT_TRUE(before.files.contains(InstalledUninstaller()));
  ASSERT_FALSE(before.appsEntry.empty());
  ASSERT_TRUE(before.pathRecord);

  for (const Damage& damage : kDamages) {
    SCOPED_TRACE(testing::Message() << damage.message);
    ASSERT_NO_FATAL_FAILURE(LayOutDamaged(damage));
    ASSERT_NO_FATAL_FAILURE(LaunchAndConfirmReinstall());
    ExpectDamageToldAndExit(damage);
    EXPECT_TRUE(CurrentInstallation() == before) << "files, record, path.dat and Apps entry stay";
    EXPECT_FALSE(Exists(L"C:\\Quorvale\\brisel.7z"));
  }
}

TEST_F(DamagedInstallerTest, InstallClickTouchesNeitherTheRootNorTheRecord) {
  // A program folder without a record: an install would remove it first.
  SHCreateDirectoryExW(nullptr, L"C:\\Quorvale\\brisel", nullptr);
  WriteBytes(L"C:\\Quorvale\\brisel\\brisel.exe", Bytes("old"));
  for (const Damage& damage : kDamages) {
    SCOPED_TRACE(testing::Message() << damage.message);
    ASSERT_NO_FATAL_FAILURE(LayOutDamaged(damage));
    Launch();
    driver::Click(ControlOf(ui::Control::按钮_安装));
    ExpectDamageToldAndExit(damage);
    EXPECT_EQ(FileBytes(L"C:\\Quorvale\\brisel\\brisel.exe"), Bytes("old"));
    EXPECT_FALSE(Exists(L"C:\\Quorvale\\brisel.7z"));
    EXPECT_FALSE(RecordKeyExists());
    EXPECT_FALSE(AppsEntryExists());
  }
}

}  // namespace
}  // namespace e2e
