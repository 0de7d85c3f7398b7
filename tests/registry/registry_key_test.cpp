// The key object against Wine's real registry: its cache, closing, the two views and the special
// roots. Every registry call is watched through the counting seam.

#include "registry/registry_key.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "registry_test_support.h"

namespace {

using registry::kInvalidKey;
using registry::RegistryKey;
using registry::RegistryValue;
using registry_test::Calls;
using registry_test::DeleteStoredTree;
using registry_test::kTestPath;
using registry_test::RawKey;
using registry_test::RegQuery;
using registry_test::StoredKeyExists;
using registry_test::WriteStored;
using testing::ElementsAre;
using testing::Pair;

constexpr char kMissingPath[] = "SOFTWARE\\VeltraneRegistryTests\\Missing";
constexpr char kCurrentConfigPath[] = "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current";
constexpr std::wstring_view kTestKeyForReg = L"HKLM\\SOFTWARE\\VeltraneRegistryTests";

class RegistryKeyTest : public testing::Test {
 protected:
  void SetUp() override {
    RemoveTestKeys();
    WriteStored(HKEY_LOCAL_MACHINE, kTestPath, "marker", REG_DWORD, {1, 0, 0, 0}, KEY_WOW64_64KEY);
    registry_test::ResetCalls();
  }
  void TearDown() override { RemoveTestKeys(); }

  static void RemoveTestKeys() {
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
      DeleteStoredTree(HKEY_LOCAL_MACHINE, kTestPath, view);
      DeleteStoredTree(HKEY_CURRENT_USER, kTestPath, view);
      DeleteStoredTree(HKEY_LOCAL_MACHINE, std::string(kCurrentConfigPath) + "\\" + kTestPath,
                       view);
    }
  }

  RegistryKey key_{registry_test::CountingApi()};
};

TEST_F(RegistryKeyTest, NewObjectIsClosedInTheViewIsWow64ProcessReports) {
  BOOL wow64 = FALSE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_TRUE(wow64) << "the tests expect a 32-bit program in a 64-bit Wine prefix";
  EXPECT_EQ(key_.UsesView64(), wow64 != FALSE);
  EXPECT_FALSE(key_.IsOpen());
  EXPECT_EQ(key_.RootKey(), nullptr);
  EXPECT_EQ(key_.KeyPath(), "");
  EXPECT_EQ(key_.LastResult(), ERROR_SUCCESS);
}

TEST_F(RegistryKeyTest, SecondOpenOfTheSamePairReturnsTheSameHandleWithoutARegistryCall) {
  const HKEY first = key_.Open(HKEY_LOCAL_MACHINE, kTestPath);
  ASSERT_NE(first, kInvalidKey);
  // A failing call on the open key, so that an untouched LastResult is visible.
  ASSERT_EQ(key_.DeleteValue(HKEY_LOCAL_MACHINE, kTestPath, "absent"), ERROR_FILE_NOT_FOUND);
  const int callsBefore = Calls().Total();

  EXPECT_EQ(key_.Open(HKEY_LOCAL_MACHINE, kTestPath), first);
  EXPECT_EQ(Calls().Total(), callsBefore);
  EXPECT_EQ(key_.LastResult(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Calls().openKey, 1);
}

TEST_F(RegistryKeyTest, SamePathInOtherLetterCaseClosesAndReopens) {
  const HKEY mixed = key_.Open(HKEY_LOCAL_MACHINE, kTestPath);
  ASSERT_NE(mixed, kInvalidKey);
  const HKEY upper = key_.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\VELTRANEREGISTRYTESTS");
  ASSERT_NE(upper, kInvalidKey);
  EXPECT_EQ(Calls().openKey, 2);
  EXPECT_THAT(Calls().closed, ElementsAre(mixed));
  EXPECT_EQ(key_.KeyPath(), "SOFTWARE\\VELTRANEREGISTRYTESTS");
}

TEST_F(RegistryKeyTest, AccessMasksCarryTheBitOfTheView) {
  ASSERT_NE(key_.Open(HKEY_LOCAL_MACHINE, kTestPath), kInvalidKey);
  EXPECT_EQ(Calls().lastAccess, 0xF013Fu);
  EXPECT_TRUE(key_.KeyExists(HKEY_LOCAL_MACHINE, kTestPath));
  EXPECT_EQ(Calls().lastAccess, 0x20119u);

  key_.UseView32();
  EXPECT_FALSE(key_.UsesView64());
  ASSERT_NE(key_.Create(HKEY_LOCAL_MACHINE, kTestPath), kInvalidKey);
  EXPECT_EQ(Calls().lastAccess, 0xF023Fu);
  EXPECT_TRUE(key_.KeyExists(HKEY_LOCAL_MACHINE, kTestPath));
  EXPECT_EQ(Calls().lastAccess, 0x20219u);

  key_.UseView64();
  ASSERT_NE(key_.Open(HKEY_LOCAL_MACHINE, kTestPath), kInvalidKey);
  EXPECT_EQ(Calls().lastAccess, 0xF013Fu);
}

TEST_F(RegistryKeyTest, CloseReleasesTheKeyOnceAndASecondCloseChangesNothing) {
  const HKEY handle = key_.Open(HKEY_LOCAL_MACHINE, kTestPath);
  ASSERT_NE(handle, kInvalidKey);
  EXPECT_EQ(key_.Close(), ERROR_SUCCESS);
  EXPECT_FALSE(key_.IsOpen());
  EXPECT_EQ(key_.RootKey(), kInvalidKey);
  EXPECT_EQ(key_.KeyPath(), "");

  // A failed open leaves the object closed with its error recorded.
  ASSERT_EQ(key_.Open(HKEY_LOCAL_MACHINE, kMissingPath), kInvalidKey);
  EXPECT_EQ(key_.Close(), -1);
  EXPECT_EQ(key_.LastResult(), ERROR_FILE_NOT_FOUND);
  EXPECT_THAT(Calls().closed, ElementsAre(handle));
}

TEST_F(RegistryKeyTest, OpenOfAMissingKeyClosesTheOpenOneAndReportsTheError) {
  const HKEY handle = key_.Open(HKEY_LOCAL_MACHINE, kTestPath);
  ASSERT_NE(handle, kInvalidKey);
  EXPECT_EQ(key_.Open(HKEY_LOCAL_MACHINE, kMissingPath), kInvalidKey);
  EXPECT_EQ(key_.LastResult(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(key_.IsOpen());
  EXPECT_EQ(key_.RootKey(), kInvalidKey);
  EXPECT_EQ(key_.KeyPath(), "");
  EXPECT_THAT(Calls().closed, ElementsAre(handle));
}

TEST_F(RegistryKeyTest, UseView32ReopensTheSamePairInThe32BitView) {
  runtime::Bytes text{'6', '4'};
  ASSERT_EQ(key_.WriteBytesValue(HKEY_LOCAL_MACHINE, kTestPath, "in64", text, REG_SZ, true), 0);
  const HKEY handle64 = key_.Create(HKEY_LOCAL_MACHINE, kTestPath);

  key_.UseView32();
  EXPECT_EQ(key_.KeyPath(), "");
  EXPECT_TRUE(key_.IsOpen()) << "the old key stays open until the next request";
  const HKEY handle32 = key_.Create(HKEY_LOCAL_MACHINE, kTestPath);
  ASSERT_NE(handle32, kInvalidKey);
  EXPECT_EQ(Calls().lastAccess, 0xF023Fu);
  EXPECT_THAT(Calls().closed, ElementsAre(handle64));
  ASSERT_EQ(key_.WriteIntegerValue(HKEY_LOCAL_MACHINE, kTestPath, "in32", 32, REG_DWORD, false), 0);

  // reg.exe reads each view on its own.
  const std::wstring key(kTestKeyForReg);
  EXPECT_EQ(RegQuery(key + L" /v in32 /reg:32"), 0);
  EXPECT_EQ(RegQuery(key + L" /v in32 /reg:64"), 1);
  EXPECT_EQ(RegQuery(key + L" /v in64 /reg:64"), 0);
  EXPECT_EQ(RegQuery(key + L" /v in64 /reg:32"), 1);
}

TEST_F(RegistryKeyTest, EmptyPathAfterAViewChangeIsOpenedAfresh) {
  const RawKey root(HKEY_LOCAL_MACHINE, kTestPath, KEY_WOW64_64KEY);
  ASSERT_EQ(root.Result(), ERROR_SUCCESS);
  const HKEY first = key_.Open(root.Get(), "");
  ASSERT_NE(first, kInvalidKey);
  key_.UseView32();
  const HKEY second = key_.Open(root.Get(), "");
  ASSERT_NE(second, kInvalidKey);
  EXPECT_EQ(Calls().openKey, 2);
  EXPECT_THAT(Calls().closed, ElementsAre(first));
}

TEST_F(RegistryKeyTest, RequestMatchingTheCacheOfAClosedObjectOpensAfresh) {
  // A new object caches root 0 with an empty path; it has no key to hand out for that pair.
  RegistryValue value;
  EXPECT_EQ(key_.ReadValue(nullptr, "", "marker", value), ERROR_INVALID_HANDLE);
  EXPECT_EQ(key_.Create(nullptr, ""), kInvalidKey);
  EXPECT_EQ(Calls().openKey, 1);
  EXPECT_EQ(Calls().createKey, 1);
  // After Close the cache names root -1, which is no key either.
  EXPECT_EQ(key_.Open(kInvalidKey, ""), kInvalidKey);
  EXPECT_EQ(Calls().openKey, 2);
}

TEST_F(RegistryKeyTest, EmptyPathOpensANewHandleToTheRootItself) {
  const RawKey root(HKEY_LOCAL_MACHINE, kTestPath, KEY_WOW64_64KEY);
  ASSERT_EQ(root.Result(), ERROR_SUCCESS);
  const HKEY handle = key_.Open(root.Get(), "");
  ASSERT_NE(handle, kInvalidKey);
  EXPECT_NE(handle, root.Get());
  EXPECT_THAT(Calls().opened, ElementsAre(Pair(root.Get(), "")));
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(handle, "marker", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
}

TEST_F(RegistryKeyTest, CurrentConfigIsReachedBelowHardwareProfilesCurrent) {
  ASSERT_NE(key_.Create(HKEY_CURRENT_CONFIG, kTestPath), kInvalidKey);
  EXPECT_EQ(key_.RootKey(), HKEY_CURRENT_CONFIG);
  ASSERT_EQ(Calls().opened.size(), 1u);
  EXPECT_EQ(Calls().opened[0], std::make_pair(HKEY_LOCAL_MACHINE, std::string(kCurrentConfigPath)));
  EXPECT_EQ(Calls().lastCreateOptions, static_cast<DWORD>(REG_OPTION_NON_VOLATILE));
  EXPECT_TRUE(StoredKeyExists(HKEY_LOCAL_MACHINE,
                              std::string(kCurrentConfigPath) + "\\" + kTestPath, KEY_WOW64_64KEY));
  // The parent key opened on the way is closed again; only the object's own key stays open.
  EXPECT_EQ(Calls().closeKey, 1);
}

TEST_F(RegistryKeyTest, CreateBelowCurrentUserMakesAVolatileKey) {
  const HKEY handle = key_.Create(HKEY_CURRENT_USER, kTestPath);
  ASSERT_NE(handle, kInvalidKey);
  EXPECT_EQ(Calls().openCurrentUser, 1);
  EXPECT_EQ(Calls().lastCreateOptions, static_cast<DWORD>(REG_OPTION_VOLATILE));
  // Only a volatile key refuses a lasting child.
  const RawKey lasting(handle, "Lasting", 0, /*create=*/true);
  EXPECT_EQ(lasting.Result(), ERROR_CHILD_MUST_BE_VOLATILE);
}

TEST_F(RegistryKeyTest, CreateBelowLocalMachineMakesALastingKey) {
  const HKEY handle = key_.Create(HKEY_LOCAL_MACHINE, std::string(kTestPath) + "\\Created");
  ASSERT_NE(handle, kInvalidKey);
  EXPECT_EQ(Calls().lastCreateOptions, static_cast<DWORD>(REG_OPTION_NON_VOLATILE));
  const RawKey lasting(handle, "Lasting", 0, /*create=*/true);
  EXPECT_EQ(lasting.Result(), ERROR_SUCCESS);
}

TEST_F(RegistryKeyTest, CopyOpensItsOwnHandleAndEachObjectClosesOnlyItsOwn) {
  const HKEY original = key_.Open(HKEY_LOCAL_MACHINE, kTestPath);
  ASSERT_NE(original, kInvalidKey);
  std::unique_ptr<RegistryKey> copy = key_.Copy();
  ASSERT_TRUE(copy->IsOpen());
  EXPECT_EQ(copy->RootKey(), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(copy->KeyPath(), kTestPath);
  EXPECT_EQ(copy->UsesView64(), key_.UsesView64());
  const HKEY copied = copy->Open(HKEY_LOCAL_MACHINE, kTestPath);
  EXPECT_NE(copied, original);
  EXPECT_EQ(Calls().openKey, 2);

  copy.reset();
  EXPECT_THAT(Calls().closed, ElementsAre(copied));
  RegistryValue value;
  EXPECT_EQ(key_.ReadValue(HKEY_LOCAL_MACHINE, kTestPath, "marker", value), ERROR_SUCCESS)
      << "the original's handle survives the copy";
  EXPECT_EQ(key_.Close(), ERROR_SUCCESS);
  EXPECT_THAT(Calls().closed, ElementsAre(copied, original));
}

TEST_F(RegistryKeyTest, CopyOfAClosedObjectStartsClosed) {
  std::unique_ptr<RegistryKey> copy = key_.Copy();
  EXPECT_FALSE(copy->IsOpen());
  EXPECT_EQ(Calls().Total(), 0);
}

TEST_F(RegistryKeyTest, DestructionClosesTheOpenKey) {
  HKEY handle = nullptr;
  {
    RegistryKey scoped(registry_test::CountingApi());
    handle = scoped.Open(HKEY_LOCAL_MACHINE, kTestPath);
    ASSERT_NE(handle, kInvalidKey);
  }
  EXPECT_THAT(Calls().closed, ElementsAre(handle));
}

}  // namespace
