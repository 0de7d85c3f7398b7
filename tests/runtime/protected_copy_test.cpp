// What an elevated run starts from a folder of its own, who may change it, and its end at restart.
#include "runtime/protected_copy.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <windows.h>

#include <string>

#include "runtime/gbk.h"
#include "runtime/protected_folder.h"
#include "test_support.h"

namespace runtime {
namespace {

using testing::TemporaryDirectory;

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingRenames[] = L"PendingFileRenameOperations";
constexpr DWORD kMostPendingBytes = 1 << 20;  // the value's room: entries of test runs only

// What the system renames and deletes at the next restart, NUL-separated source and target pairs.
// (Entries stay: the files are gone by then, and the system passes over a missing one.)
std::wstring PendingRenames() {
  std::wstring value(kMostPendingBytes / sizeof(wchar_t), L'\0');
  DWORD size = kMostPendingBytes;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames, RRF_RT_REG_MULTI_SZ,
                   nullptr, value.data(), &size) != ERROR_SUCCESS) {
    return {};
  }
  return value.substr(0, size / sizeof(wchar_t));
}

// The deletion of a file and then of its folder at the next restart, as the list holds it.
std::wstring FileThenFolderDeleted(const std::wstring& file, const std::wstring& folder) {
  return L"\\??\\" + file + std::wstring(2, L'\0') + L"\\??\\" + folder + std::wstring(2, L'\0');
}

// A token of this account ready for AccessCheck: as it is (an administrator's), or as a standard
// user's, the Administrators group for denying only, as Windows gives it to unelevated programs.
ScopedHandle TokenOfThisAccount(bool asStandardUser) {
  HANDLE own = nullptr, restricted = nullptr, impersonation = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &own);
  const ScopedHandle process(own);
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof administrators;
  CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size);
  SID_AND_ATTRIBUTES denyOnly{administrators, 0};
  CreateRestrictedToken(own, 0, asStandardUser ? 1 : 0, &denyOnly, 0, nullptr, 0, nullptr,
                        &restricted);
  const ScopedHandle primary(restricted);
  DuplicateToken(restricted, SecurityImpersonation, &impersonation);
  return ScopedHandle(impersonation);
}

// Whether the descriptor grants `token` all of `access` on a file or folder.
bool Grants(PSECURITY_DESCRIPTOR descriptor, HANDLE token, DWORD access) {
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                          FILE_ALL_ACCESS};
  PRIVILEGE_SET privileges{};
  DWORD privilegesSize = sizeof privileges, granted = 0;
  BOOL status = FALSE;  // whether all of it is granted
  return AccessCheck(descriptor, token, access, &mapping, &privileges, &privilegesSize, &granted,
                     &status) &&
         status;
}

// Wine 8 keeps no ACLs on files (GetNamedSecurityInfoW then gives a descriptor made from the Unix
// mode bits), so the descriptor the code builds is judged itself: by AccessCheck for this account
// as a standard user and as an administrator, and by its text for SYSTEM, whose token no test can
// hold.
TEST(AdministratorsOnlyDescriptor, RefusesAStandardUsersChangesAndAdmitsAdministratorsAndSystem) {
  const ScopedLocalMemory built = AdministratorsOnlyDescriptor();
  wchar_t* text = nullptr;
  ASSERT_TRUE(built.Valid() &&
              ConvertSecurityDescriptorToStringSecurityDescriptorW(
                  built.Get(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr));
  const std::wstring dacl = text;
  LocalFree(text);
  // AccessCheck needs an owner and a group: those an elevated run gives what it creates.
  PSECURITY_DESCRIPTOR owned = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      (L"O:BAG:BA" + dacl).c_str(), SDDL_REVISION_1, &owned, nullptr));
  const ScopedLocalMemory descriptor(owned);
  const ScopedHandle standard = TokenOfThisAccount(true);
  const ScopedHandle administrator = TokenOfThisAccount(false);
  for (const DWORD access : std::initializer_list<DWORD>{FILE_WRITE_DATA, FILE_APPEND_DATA, DELETE,
                                                         FILE_DELETE_CHILD, WRITE_DAC}) {
    EXPECT_FALSE(Grants(descriptor.Get(), standard.Get(), access)) << std::hex << access;
  }
  EXPECT_TRUE(Grants(descriptor.Get(), administrator.Get(), FILE_ALL_ACCESS));
  EXPECT_EQ(dacl.rfind(L"D:P", 0), 0u)
      << "nothing of the parent's ACL, such as Authenticated Users' Modify, is merged in";
  EXPECT_NE(dacl.find(L"(A;OICI;FA;;;SY)"), std::wstring::npos) << "SYSTEM: all, inherited";
}

TEST(ProtectedFolder, ANameSomeoneMadeFirstIsRefused) {
  const TemporaryDirectory directory;
  const std::wstring planted = directory.Inside(L"planted");
  ASSERT_TRUE(CreateDirectoryW(planted.c_str(), nullptr));
  EXPECT_FALSE(CreateProtectedFolder(planted));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(CreateProtectedFolder(directory.Inside(L"fresh")));
}

// The copy cannot be written or deleted until it has started, starts from a folder named with a
// letter GBK lacks, and is marked for deletion at the next restart before its folder.
TEST(ProtectedCopy, IsHeldUntilStartedFromAnyPathAndGoesAtRestartWithItsFolder) {
  const TemporaryDirectory directory;
  const std::wstring parent = directory.Path() + L"\\Bj\u00f6rn\\";
  ASSERT_TRUE(CreateDirectoryW(parent.c_str(), nullptr));
  const std::wstring source = testing::TestChildPath();
  ProtectedCopy copy = ProtectedCopy::Make(source, parent, L"child.exe");
  ASSERT_TRUE(copy.Valid());
  EXPECT_EQ(copy.Folder().rfind(parent + L"veltrane-", 0), 0u);

  const ScopedHandle writer(CreateFileW(copy.Path().c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(writer.Valid() || DeleteFileW(copy.Path().c_str()));

  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  const ScopedHandle event(CreateEventW(&inheritable, TRUE, FALSE, nullptr));
  const ScopedHandle child = copy.Start(L"exit 4 0", event.Get(), parent);
  ASSERT_EQ(WaitForSingleObject(child.Get(), 30000), WAIT_OBJECT_0) << "started";
  EXPECT_NE(PendingRenames().find(FileThenFolderDeleted(copy.Path(), copy.Folder())),
            std::wstring::npos);
  copy.Discard();
}

// An uninstaller that cannot go now goes at restart under a name of its own: a new one written
// under the old name before then stays.
TEST(DeleteAtRestartUnderNewName, FreesTheNameAndMarksTheMovedFileBeforeItsFolder) {
  const TemporaryDirectory directory;
  const std::wstring folder = directory.Path();
  const std::wstring file = folder + L"\\uninstall.exe";
  ASSERT_TRUE(
      CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)));
  ASSERT_TRUE(DeleteAtRestartUnderNewName(file, folder, L"uninstall-removed-"));
  WIN32_FIND_DATAW moved{};
  const ScopedFind found(FindFirstFileW((folder + L"\\uninstall-removed-*").c_str(), &moved));
  EXPECT_TRUE(found.Valid() && GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(PendingRenames().find(FileThenFolderDeleted(folder + L"\\" + moved.cFileName, folder)),
            std::wstring::npos);
}

}  // namespace
}  // namespace runtime
