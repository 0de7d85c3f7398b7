#include "fs/system_library.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

// fs_planted.dll lies only beside the test executable, as a planted DLL would lie beside an
// installer in a downloads folder.
constexpr wchar_t kPlantedDll[] = L"fs_planted.dll";

TEST(SystemLibrary, LoadsFromTheSystemDirectoryOnly) {
  // The plain search (executable's folder first) does find the planted DLL ...
  const HMODULE planted = LoadLibraryW(kPlantedDll);
  ASSERT_NE(planted, nullptr);
  FreeLibrary(planted);
  // ... the system-only load does not.
  const fs::SystemLibrary restricted(kPlantedDll);
  EXPECT_FALSE(restricted.Loaded());
  using Marker = int (*)();
  EXPECT_EQ(restricted.Bind<Marker>("PlantedMarker"), nullptr);
}

TEST(SystemLibrary, BindsExportedFunctionsByName) {
  const fs::SystemLibrary shlwapi(L"shlwapi.dll");
  ASSERT_TRUE(shlwapi.Loaded());
  using PathIsDirectory = BOOL(WINAPI*)(LPCWSTR);
  const auto isDirectory = shlwapi.Bind<PathIsDirectory>("PathIsDirectoryW");
  ASSERT_NE(isDirectory, nullptr);
  EXPECT_EQ(isDirectory(L"C:\\windows"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(shlwapi.Bind<PathIsDirectory>("NoSuchExport"), nullptr);
}

TEST(RestrictDllSearchToSystem, KeepsLaterBareNameLoadsOutOfTheExecutablesFolder) {
  // In a second process: the restriction is process-wide and would outlive this test.
  EXPECT_EQ(fs_test::RunHelper(std::wstring(L"load ") + kPlantedDll), 1);
  EXPECT_EQ(fs_test::RunHelper(std::wstring(L"restricted-load ") + kPlantedDll), 0);
}

}  // namespace
