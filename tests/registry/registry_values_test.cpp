// Reading, writing, listing and deleting through the key object, against Wine's real registry in
// each of the two registry views.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/registry_key.h"
#include "registry_test_support.h"

namespace {

using registry::kInvalidKey;
using registry::RegistryKey;
using registry::RegistryValue;
using registry_test::Calls;
using registry_test::kTestPath;
using registry_test::RawKey;
using registry_test::StoredValue;
using runtime::Bytes;
using testing::Contains;
using testing::ElementsAre;
using testing::Pair;
using testing::UnorderedElementsAre;

// Runs each case in the view its parameter names: KEY_WOW64_64KEY or KEY_WOW64_32KEY.
class RegistryValuesTest : public testing::TestWithParam<REGSAM> {
 protected:
  void SetUp() override {
    RemoveTestKeys();
    ASSERT_EQ(RawKey(HKEY_LOCAL_MACHINE, kTestPath, View(), /*create=*/true).Result(),
              ERROR_SUCCESS);
    if (View() == KEY_WOW64_32KEY) key_.UseView32();
    registry_test::ResetCalls();
  }
  void TearDown() override { RemoveTestKeys(); }

  static void RemoveTestKeys() {
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
      registry_test::DeleteStoredTree(HKEY_LOCAL_MACHINE, kTestPath, view);
    }
  }

  static REGSAM View() { return GetParam(); }
  static REGSAM OtherView() {
    return View() == KEY_WOW64_64KEY ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  }
  static std::string Path(std::string_view sub) {
    return std::string(kTestPath) + "\\" + std::string(sub);
  }

  static void Store(std::string_view path, std::string_view name, DWORD type, const Bytes& data) {
    registry_test::WriteStored(HKEY_LOCAL_MACHINE, path, name, type, data, View());
  }
  static void MakeKey(std::string_view path) {
    ASSERT_EQ(RawKey(HKEY_LOCAL_MACHINE, path, View(), /*create=*/true).Result(), ERROR_SUCCESS);
  }
  static std::optional<StoredValue> Stored(std::string_view path, std::string_view name) {
    return registry_test::ReadStored(HKEY_LOCAL_MACHINE, path, name, View());
  }
  static bool Exists(std::string_view path) {
    return registry_test::StoredKeyExists(HKEY_LOCAL_MACHINE, path, View());
  }

  RegistryKey key_{registry_test::CountingApi()};
};

INSTANTIATE_TEST_SUITE_P(BothViews, RegistryValuesTest,
                         testing::Values(KEY_WOW64_64KEY, KEY_WOW64_32KEY),
                         [](const testing::TestParamInfo<REGSAM>& info) {
                           return info.param == KEY_WOW64_64KEY ? "View64" : "View32";
                         });

TEST_P(RegistryValuesTest, ReadValueGivesATextWithoutItsTerminatorAndNamesTheKeyPath) {
  Store(kTestPath, "text", REG_SZ, {'a', 'b', 'c', 0});
  RegistryValue value{.name = "old", .data = std::nullopt, .type = 0};
  ASSERT_EQ(key_.ReadValue(HKEY_LOCAL_MACHINE, kTestPath, "text", value), ERROR_SUCCESS);
  EXPECT_EQ(value, (RegistryValue{.name = kTestPath, .data = Bytes{'a', 'b', 'c'}, .type = 1}));
  EXPECT_EQ(key_.LastResult(), ERROR_SUCCESS);
}

TEST_P(RegistryValuesTest, ReadValueGivesADwordAsItsThreeLowBytes) {
  Store(kTestPath, "number", REG_DWORD, {0x44, 0x33, 0x22, 0x11});
  RegistryValue value;
  ASSERT_EQ(key_.ReadValue(HKEY_LOCAL_MACHINE, kTestPath, "number", value), ERROR_SUCCESS);
  EXPECT_EQ(value.data, (Bytes{0x44, 0x33, 0x22}));
  EXPECT_EQ(value.type, REG_DWORD);
}

TEST_P(RegistryValuesTest, ReadValueOfAMissingOrEmptyValueLeavesTheDataAsItWas) {
  Store(kTestPath, "empty", REG_BINARY, {});
  RegistryValue value{.name = "", .data = Bytes{9, 9}, .type = 0};
  EXPECT_EQ(key_.ReadValue(HKEY_LOCAL_MACHINE, kTestPath, "absent", value), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(value.data, (Bytes{9, 9}));
  EXPECT_EQ(key_.LastResult(), ERROR_FILE_NOT_FOUND);

  EXPECT_EQ(key_.ReadValue(HKEY_LOCAL_MACHINE, kTestPath, "empty", value), ERROR_SUCCESS);
  EXPECT_EQ(value.data, (Bytes{9, 9}));
  EXPECT_EQ(value.type, REG_BINARY);
  EXPECT_EQ(Calls().openKey, 1) << "both reads use the one open key";
}

TEST_P(RegistryValuesTest, ReadValueOfAMissingKeyReportsTheOpenError) {
  RegistryValue value{.name = "kept", .data = Bytes{1}, .type = 3};
  EXPECT_EQ(key_.ReadValue(HKEY_LOCAL_MACHINE, Path("Missing"), "x", value), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(value, (RegistryValue{.name = "kept", .data = Bytes{1}, .type = 3}));
  EXPECT_EQ(Calls().queryValue, 0);
}

TEST_P(RegistryValuesTest, WriteBytesValueAppendsOneZeroByteForEveryType) {
  Bytes text{'a', 'b', 'c'};
  ASSERT_EQ(key_.WriteBytesValue(HKEY_LOCAL_MACHINE, kTestPath, "sz", text, REG_SZ, false), 0);
  EXPECT_EQ(text, (Bytes{'a', 'b', 'c', 0})) << "the caller's array is lengthened";
  EXPECT_EQ(Stored(kTestPath, "sz"), (StoredValue{REG_SZ, {'a', 'b', 'c', 0}}));

  Bytes expand{'%', 'x', '%'};
  ASSERT_EQ(key_.WriteBytesValue(HKEY_LOCAL_MACHINE, kTestPath, "ex", expand, REG_EXPAND_SZ, false),
            0);
  EXPECT_EQ(Stored(kTestPath, "ex"), (StoredValue{REG_EXPAND_SZ, {'%', 'x', '%', 0}}));

  Bytes binary{1, 2};
  ASSERT_EQ(key_.WriteBytesValue(HKEY_LOCAL_MACHINE, kTestPath, "bin", binary, REG_BINARY, false),
            0);
  EXPECT_EQ(Stored(kTestPath, "bin"), (StoredValue{REG_BINARY, {1, 2, 0}}));

  Bytes multi{'a', 0, 'b', 0};
  ASSERT_EQ(
      key_.WriteBytesValue(HKEY_LOCAL_MACHINE, kTestPath, "multi", multi, REG_MULTI_SZ, false), 0);
  EXPECT_EQ(Stored(kTestPath, "multi"), (StoredValue{REG_MULTI_SZ, {'a', 0, 'b', 0, 0}}));
  EXPECT_EQ(Calls().openKey, 1);
}

TEST_P(RegistryValuesTest, WritersRejectOtherTypesWithoutTouchingTheRegistry) {
  RegistryValue value;
  ASSERT_EQ(key_.ReadValue(HKEY_LOCAL_MACHINE, kTestPath, "absent", value), ERROR_FILE_NOT_FOUND);
  registry_test::ResetCalls();

  for (const std::int32_t type : {0, 4, 5, 6, 8, 11, -1}) {
    Bytes bytes{'x'};
    EXPECT_EQ(key_.WriteBytesValue(HKEY_LOCAL_MACHINE, Path("New"), "v", bytes, type, true), -1)
        << "type " << type;
    EXPECT_EQ(bytes, Bytes{'x'});
  }
  for (const std::int32_t type : {0, 1, 2, 3, 6, 7, 12}) {
    EXPECT_EQ(key_.WriteIntegerValue(HKEY_LOCAL_MACHINE, Path("New"), "v", 1, type, true), -1)
        << "type " << type;
  }
  EXPECT_EQ(Calls().Total(), 0);
  EXPECT_EQ(key_.LastResult(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key_.KeyPath(), kTestPath);
  EXPECT_FALSE(Exists(Path("New")));
}

TEST_P(RegistryValuesTest, CreateFlagMakesAMissingKeyAndWithoutItTheWriteFails) {
  Bytes text{'o', 'k'};
  EXPECT_EQ(key_.WriteBytesValue(HKEY_LOCAL_MACHINE, Path("Plain"), "v", text, REG_SZ, false),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(text, (Bytes{'o', 'k'})) << "nothing appended when the key was not reached";
  EXPECT_FALSE(Exists(Path("Plain")));

  ASSERT_EQ(key_.WriteBytesValue(HKEY_LOCAL_MACHINE, Path("New\\Deep"), "v", text, REG_SZ, true),
            0);
  EXPECT_EQ(Stored(Path("New\\Deep"), "v"), (StoredValue{REG_SZ, {'o', 'k', 0}}));
  EXPECT_EQ(Calls().lastCreateOptions, static_cast<DWORD>(REG_OPTION_NON_VOLATILE));
  EXPECT_FALSE(registry_test::StoredKeyExists(HKEY_LOCAL_MACHINE, Path("New\\Deep"), OtherView()));
}

TEST_P(RegistryValuesTest, CreateFlagReachesTheKeyThroughCreateEvenWhenItIsOpen) {
  const HKEY opened = key_.Open(HKEY_LOCAL_MACHINE, kTestPath);
  ASSERT_NE(opened, kInvalidKey);
  ASSERT_EQ(key_.WriteIntegerValue(HKEY_LOCAL_MACHINE, kTestPath, "n", 5, REG_DWORD, true), 0);
  EXPECT_EQ(Calls().createKey, 1);
  EXPECT_THAT(Calls().closed, ElementsAre(opened));
  EXPECT_EQ(key_.KeyPath(), kTestPath);
}

TEST_P(RegistryValuesTest, CreateFlagWritesIntoKeyOneAndNotIntoTheKeyOpenBefore) {
  const RawKey root(HKEY_LOCAL_MACHINE, kTestPath, View());
  ASSERT_EQ(root.Result(), ERROR_SUCCESS);
  ASSERT_NE(key_.Create(root.Get(), "A"), kInvalidKey);
  Bytes text{'1'};
  ASSERT_EQ(key_.WriteBytesValue(root.Get(), "1", "v", text, REG_SZ, true), 0);
  EXPECT_EQ(Stored(Path("1"), "v"), (StoredValue{REG_SZ, {'1', 0}}));
  EXPECT_EQ(Stored(Path("A"), "v"), std::nullopt);
}

TEST_P(RegistryValuesTest, WriteIntegerValueStoresTheLowFourBytesLittleEndianForDwords) {
  ASSERT_EQ(
      key_.WriteIntegerValue(HKEY_LOCAL_MACHINE, kTestPath, "d", 0x11223344, REG_DWORD, false), 0);
  EXPECT_EQ(Stored(kTestPath, "d"), (StoredValue{REG_DWORD, {0x44, 0x33, 0x22, 0x11}}));
  ASSERT_EQ(key_.WriteIntegerValue(HKEY_LOCAL_MACHINE, kTestPath, "neg", -2, REG_DWORD, false), 0);
  EXPECT_EQ(Stored(kTestPath, "neg"), (StoredValue{REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF}}));
  ASSERT_EQ(
      key_.WriteIntegerValue(HKEY_LOCAL_MACHINE, kTestPath, "wide", 0x100000005, REG_DWORD, false),
      0);
  EXPECT_EQ(Stored(kTestPath, "wide"), (StoredValue{REG_DWORD, {5, 0, 0, 0}}));
}

TEST_P(RegistryValuesTest, WriteIntegerValueStoresABigEndianDwordWithoutSwappingIt) {
  ASSERT_EQ(
      key_.WriteIntegerValue(HKEY_LOCAL_MACHINE, kTestPath, "be", 1, REG_DWORD_BIG_ENDIAN, false),
      0);
  EXPECT_EQ(Stored(kTestPath, "be"), (StoredValue{REG_DWORD_BIG_ENDIAN, {1, 0, 0, 0}}));
}

TEST_P(RegistryValuesTest, WriteIntegerValueStoresAllEightBytesForAQword) {
  ASSERT_EQ(key_.WriteIntegerValue(HKEY_LOCAL_MACHINE, kTestPath, "q", 0x0102030405060708,
                                   REG_QWORD, false),
            0);
  EXPECT_EQ(Stored(kTestPath, "q"),
            (StoredValue{REG_QWORD, {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}}));
  ASSERT_EQ(key_.WriteIntegerValue(HKEY_LOCAL_MACHINE, kTestPath, "minus", -1, REG_QWORD, false),
            0);
  EXPECT_EQ(Stored(kTestPath, "minus"), (StoredValue{REG_QWORD, Bytes(8, 0xFF)}));
}

TEST_P(RegistryValuesTest, WriteQwordHexStoresTheNumberTheTextSpells) {
  const struct {
    const char* text;
    Bytes stored;
  } cases[] = {
      {"ff", {0xFF, 0, 0, 0, 0, 0, 0, 0}},
      {"", Bytes(8, 0)},
      {"0102030405060708", {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}},
      {"123", {0x23, 0x01, 0, 0, 0, 0, 0, 0}},
      {"1122334455667788990a", {0x0A, 0x99, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33}},
  };
  for (const auto& [text, stored] : cases) {
    EXPECT_TRUE(key_.WriteQwordHex(HKEY_LOCAL_MACHINE, kTestPath, "q", text)) << text;
    EXPECT_EQ(Stored(kTestPath, "q"), (StoredValue{REG_QWORD, stored})) << text;
  }
  EXPECT_EQ(Calls().openKey, 1);
}

TEST_P(RegistryValuesTest, WriteQwordHexCreatesAKeyItCannotOpen) {
  EXPECT_TRUE(key_.WriteQwordHex(HKEY_LOCAL_MACHINE, Path("Qword"), "q", "7"));
  EXPECT_EQ(Stored(Path("Qword"), "q"), (StoredValue{REG_QWORD, {7, 0, 0, 0, 0, 0, 0, 0}}));
}

TEST_P(RegistryValuesTest, WriteQwordHexWritesNothingWhenNoKeyCanBeReached) {
  EXPECT_FALSE(key_.WriteQwordHex(nullptr, "", "q", "7"));
  EXPECT_EQ(key_.LastResult(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(Calls().setValue, 0);
}

TEST_P(RegistryValuesTest, EnumSubKeysListsEverySubKeyName) {
  for (const char* name : {"A", "B", "C"}) MakeKey(Path(name));
  std::vector<std::string> names{"stale"};
  EXPECT_EQ(key_.EnumSubKeys(HKEY_LOCAL_MACHINE, kTestPath, names), 3);
  EXPECT_THAT(names, UnorderedElementsAre("A", "B", "C"));
  EXPECT_EQ(key_.LastResult(), ERROR_SUCCESS);
}

TEST_P(RegistryValuesTest, EnumSubKeysOfAKeyWithoutSubKeysEmptiesTheNames) {
  std::vector<std::string> names{"stale"};
  EXPECT_EQ(key_.EnumSubKeys(HKEY_LOCAL_MACHINE, kTestPath, names), 0);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(key_.LastResult(), ERROR_SUCCESS);
}

TEST_P(RegistryValuesTest, EnumSubKeysOfAMissingKeyReturnsTheOpenErrorAndKeepsTheNames) {
  std::vector<std::string> names{"stale"};
  EXPECT_EQ(key_.EnumSubKeys(HKEY_LOCAL_MACHINE, Path("Missing"), names), ERROR_FILE_NOT_FOUND);
  EXPECT_THAT(names, ElementsAre("stale"));
  EXPECT_EQ(key_.LastResult(), ERROR_FILE_NOT_FOUND);
}

TEST_P(RegistryValuesTest, EnumSubKeysStopsAtANameLongerThanTheBuffer) {
  // 200 characters are a legal key name, but 400 bytes in the ANSI code page 936.
  std::string longName;
  for (int i = 0; i < 200; ++i) longName += "安";
  MakeKey(Path("Listed\\A"));
  MakeKey(Path("Listed\\") + longName);
  MakeKey(Path("LongFirst\\") + longName);

  std::vector<std::string> names{"stale"};
  EXPECT_EQ(key_.EnumSubKeys(HKEY_LOCAL_MACHINE, Path("Listed"), names), 1);
  EXPECT_THAT(names, ElementsAre("A"));
  EXPECT_EQ(key_.LastResult(), ERROR_MORE_DATA);

  EXPECT_EQ(key_.EnumSubKeys(HKEY_LOCAL_MACHINE, Path("LongFirst"), names), ERROR_MORE_DATA)
      << "a failed first step is reported as its code, not as a count";
  EXPECT_TRUE(names.empty());
}

TEST_P(RegistryValuesTest, EnumValuesListsNameDataAndTypeOfEachValue) {
  Store(kTestPath, "text", REG_SZ, {'h', 'i', 0});
  Store(kTestPath, "number", REG_DWORD, {7, 0, 0, 0});
  Store(kTestPath, "empty", REG_BINARY, {});
  std::vector<RegistryValue> values{{.name = "stale", .data = std::nullopt, .type = 0}};
  EXPECT_EQ(key_.EnumValues(HKEY_LOCAL_MACHINE, kTestPath, values), 3);
  EXPECT_THAT(values, UnorderedElementsAre(RegistryValue{"text", Bytes{'h', 'i', 0}, REG_SZ},
                                           RegistryValue{"number", Bytes{7, 0, 0, 0}, REG_DWORD},
                                           RegistryValue{"empty", std::nullopt, REG_BINARY}));
  EXPECT_EQ(key_.LastResult(), ERROR_SUCCESS);
}

TEST_P(RegistryValuesTest, EnumValuesOfAKeyWithoutValuesEmptiesTheRecords) {
  MakeKey(Path("Empty"));
  std::vector<RegistryValue> values{{.name = "stale", .data = std::nullopt, .type = 0}};
  EXPECT_EQ(key_.EnumValues(HKEY_LOCAL_MACHINE, Path("Empty"), values), 0);
  EXPECT_TRUE(values.empty());
  EXPECT_EQ(key_.LastResult(), ERROR_SUCCESS);
}

TEST_P(RegistryValuesTest, EnumValuesOfAMissingKeyReturnsTheOpenErrorAndKeepsTheRecords) {
  std::vector<RegistryValue> values{{.name = "stale", .data = std::nullopt, .type = 0}};
  EXPECT_EQ(key_.EnumValues(HKEY_LOCAL_MACHINE, Path("Missing"), values), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(values.size(), 1u);
}

TEST_P(RegistryValuesTest, EnumValuesAppendsWhileTheSameKeyStaysOpen) {
  Store(kTestPath, "one", REG_DWORD, {1, 0, 0, 0});
  Store(kTestPath, "two", REG_DWORD, {2, 0, 0, 0});
  Store(Path("Other"), "three", REG_DWORD, {3, 0, 0, 0});
  std::vector<RegistryValue> values;
  EXPECT_EQ(key_.EnumValues(HKEY_LOCAL_MACHINE, kTestPath, values), 2);
  EXPECT_EQ(key_.EnumValues(HKEY_LOCAL_MACHINE, kTestPath, values), 4);
  EXPECT_EQ(values[0], values[2]);
  EXPECT_EQ(values[1], values[3]);

  EXPECT_EQ(key_.EnumValues(HKEY_LOCAL_MACHINE, Path("Other"), values), 1);
  EXPECT_EQ(key_.EnumValues(HKEY_LOCAL_MACHINE, kTestPath, values), 2)
      << "a listing after another key starts over";
}

TEST_P(RegistryValuesTest, EnumValuesStopsAtAValueNameOf256Bytes) {
  // Names in an order that creation and alphabet agree on.
  const std::string longest(255, 'm');
  const std::string tooLong(256, 'n');
  Store(kTestPath, "a", REG_DWORD, {1, 0, 0, 0});
  Store(kTestPath, longest, REG_DWORD, {2, 0, 0, 0});
  Store(kTestPath, tooLong, REG_DWORD, {3, 0, 0, 0});
  Store(kTestPath, "z", REG_DWORD, {4, 0, 0, 0});
  std::vector<RegistryValue> values;
  EXPECT_EQ(key_.EnumValues(HKEY_LOCAL_MACHINE, kTestPath, values), 2);
  EXPECT_EQ(key_.LastResult(), ERROR_MORE_DATA);
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].name, "a");
  EXPECT_EQ(values[1].name, longest);
}

TEST_P(RegistryValuesTest, KeyExistsAnswersForTheCurrentViewOnly) {
  EXPECT_TRUE(key_.KeyExists(HKEY_LOCAL_MACHINE, kTestPath));
  EXPECT_FALSE(key_.KeyExists(HKEY_LOCAL_MACHINE, Path("Missing")));
  registry_test::DeleteStoredTree(HKEY_LOCAL_MACHINE, kTestPath, OtherView());
  RegistryKey other;
  if (View() == KEY_WOW64_64KEY) {
    other.UseView32();
  } else {
    other.UseView64();
  }
  EXPECT_FALSE(other.KeyExists(HKEY_LOCAL_MACHINE, kTestPath));
}

TEST_P(RegistryValuesTest, KeyExistsLeavesTheOpenKeyAndLastResultAlone) {
  MakeKey(Path("Sub"));
  RegistryValue value;
  ASSERT_EQ(key_.ReadValue(HKEY_LOCAL_MACHINE, kTestPath, "absent", value), ERROR_FILE_NOT_FOUND);
  const HKEY handle = key_.Open(HKEY_LOCAL_MACHINE, kTestPath);

  EXPECT_FALSE(key_.KeyExists(HKEY_LOCAL_MACHINE, Path("Missing")));
  EXPECT_TRUE(key_.KeyExists(HKEY_LOCAL_MACHINE, Path("Sub")));
  EXPECT_EQ(key_.LastResult(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key_.KeyPath(), kTestPath);
  EXPECT_EQ(Calls().closeKey, 1) << "only the key that did open is closed";
  EXPECT_THAT(Calls().closed, testing::Not(Contains(handle)));
  EXPECT_EQ(key_.Open(HKEY_LOCAL_MACHINE, kTestPath), handle);
}

TEST_P(RegistryValuesTest, DeleteValueRemovesTheValueAndReportsAMissingOne) {
  Store(kTestPath, "gone", REG_DWORD, {1, 0, 0, 0});
  EXPECT_EQ(key_.DeleteValue(HKEY_LOCAL_MACHINE, kTestPath, "gone"), ERROR_SUCCESS);
  EXPECT_EQ(Stored(kTestPath, "gone"), std::nullopt);
  EXPECT_EQ(key_.DeleteValue(HKEY_LOCAL_MACHINE, kTestPath, "gone"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key_.LastResult(), ERROR_FILE_NOT_FOUND);
}

TEST_P(RegistryValuesTest, DeleteKeyRemovesALeafAndLeavesItsParentOpen) {
  MakeKey(Path("Leaf"));
  EXPECT_EQ(key_.DeleteKey(HKEY_LOCAL_MACHINE, Path("Leaf")), ERROR_SUCCESS);
  EXPECT_FALSE(Exists(Path("Leaf")));
  EXPECT_TRUE(key_.IsOpen());
  EXPECT_EQ(key_.RootKey(), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(key_.KeyPath(), kTestPath);
}

TEST_P(RegistryValuesTest, DeleteKeyKeepsAKeyThatHasSubKeys) {
  MakeKey(Path("Parent\\Child"));
  EXPECT_EQ(key_.DeleteKey(HKEY_LOCAL_MACHINE, Path("Parent")), ERROR_ACCESS_DENIED);
  EXPECT_EQ(key_.LastResult(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(Exists(Path("Parent\\Child")));
}

TEST_P(RegistryValuesTest, DeleteKeyOfAPathWithoutBackslashOpensTheRootAsParent) {
  MakeKey(Path("Leaf"));
  const RawKey root(HKEY_LOCAL_MACHINE, kTestPath, View());
  ASSERT_EQ(root.Result(), ERROR_SUCCESS);
  EXPECT_EQ(key_.DeleteKey(root.Get(), "Leaf"), ERROR_SUCCESS);
  EXPECT_FALSE(Exists(Path("Leaf")));
  EXPECT_THAT(Calls().opened, ElementsAre(Pair(root.Get(), "")));
  EXPECT_EQ(key_.RootKey(), root.Get());
  EXPECT_EQ(key_.KeyPath(), "");
}

TEST_P(RegistryValuesTest, DeleteKeyBelowAMissingParentReportsTheOpenError) {
  EXPECT_EQ(key_.DeleteKey(HKEY_LOCAL_MACHINE, Path("Missing\\Leaf")), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Calls().deleteKey, 0);
}

TEST_P(RegistryValuesTest, HasSubKeysTellsKeysWithSubKeysFromKeysWithoutAndMissingOnes) {
  MakeKey(Path("Parent\\Child"));
  EXPECT_EQ(key_.HasSubKeys(HKEY_LOCAL_MACHINE, Path("Parent")), 1);
  EXPECT_EQ(key_.LastResult(), ERROR_SUCCESS);
  EXPECT_EQ(key_.HasSubKeys(HKEY_LOCAL_MACHINE, Path("Parent\\Child")), 0);
  EXPECT_EQ(key_.LastResult(), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(key_.HasSubKeys(HKEY_LOCAL_MACHINE, Path("Missing")), -1);
  EXPECT_EQ(key_.LastResult(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
