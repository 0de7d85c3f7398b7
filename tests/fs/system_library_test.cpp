#include "fs/system_library.h"

#include <gtest/gtest.h>

#include <string>

#include "fs/system_library_for_testing.h"
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

// Vista and a Windows 7 without KB2533623 refuse the search flags; Wine has them, so the loader
// of such a system is played here by one that refuses every LOAD_LIBRARY_SEARCH_* flag the way
// theirs does and has no SetDefaultDllDirectories.
HMODULE WINAPI LoadWithoutSearchFlags(LPCWSTR name, HANDLE file, DWORD flags) {
  constexpr DWORD kSearchFlags = 0x00001F00;  // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR .. DEFAULT_DIRS
  if ((flags & kSearchFlags) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return LoadLibraryExW(name, file, flags);
}

std::wstring g_dllDirectorySet = L"<not called>";
BOOL WINAPI RecordDllDirectory(LPCWSTR directory) {
  g_dllDirectorySet = directory != nullptr ? directory : L"<null>";
  return TRUE;
}

TEST(SystemLibrary, WithoutTheSearchFlagsLoadsByTheSystemPathAndStillNeverThePlantedDll) {
  const fs::LoaderApi olderWindows{.loadLibraryEx = &LoadWithoutSearchFlags,
                                   .setDefaultDllDirectories = nullptr,
                                   .setDllDirectory = &RecordDllDirectory};
  const fs::SystemLibrary shlwapi = fs::LoadSystemLibraryForTesting(L"shlwapi.dll", olderWindows);
  ASSERT_TRUE(shlwapi.Loaded());
  using PathIsDirectory = BOOL(WINAPI*)(LPCWSTR);
  EXPECT_NE(shlwapi.Bind<PathIsDirectory>("PathIsDirectoryW"), nullptr);
  EXPECT_FALSE(fs::LoadSystemLibraryForTesting(kPlantedDll, olderWindows).Loaded());

  fs::RestrictDllSearchToSystemForTesting(olderWindows);
  EXPECT_EQ(g_dllDirectorySet, L"") << "the current directory leaves the search order";
}

}  // namespace
