// What an elevated run starts from a folder of its own: who may change that folder, a name taken
// first, the copy held until it has started, its start from a path GBK cannot spell, and its
// deletion at the next restart.
#include "runtime/protected_copy.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "runtime/gbk.h"
#include "runtime/protected_folder.h"
#include "test_support.h"

namespace runtime {
namespace {

using testing::TemporaryDirectory;

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingRenames[] = L"PendingFileRenameOperations";
constexpr DWORD kChildTimeout = 30000;

// The list of what the system renames and deletes at the next restart; each test puts it back
// as it found it.
class PendingRenames {
 public:
  PendingRenames() : saved_(Read()) {}
  PendingRenames(const PendingRenames&) = delete;
  PendingRenames& operator=(const PendingRenames&) = delete;
  ~PendingRenames() {
    if (saved_.empty()) {
      RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames);
    } else {
      RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames, REG_MULTI_SZ,
                      saved_.data(), static_cast<DWORD>(saved_.size() * sizeof(wchar_t)));
    }
  }

  // The entries added since construction, each as the system names it ("\??\C:\..."), a
  // file's or folder's followed by the empty target that means deletion.
  [[nodiscard]] std::vector<std::wstring> Added() const {
    std::vector<std::wstring> entries = Entries(Read());
    entries.erase(entries.begin(),
                  entries.begin() + static_cast<std::ptrdiff_t>(Entries(saved_).size()));
    return entries;
  }

 private:
  static std::wstring Read() {
    DWORD size = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames, RRF_RT_REG_MULTI_SZ,
                     nullptr, nullptr, &size) != ERROR_SUCCESS) {
      return {};
    }
    std::wstring value(size / sizeof(wchar_t), L'\0');
    RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames, RRF_RT_REG_MULTI_SZ, nullptr,
                 value.data(), &size);
    return value;
  }

  // The value's source and target pairs, in order.
  static std::vector<std::wstring> Entries(const std::wstring& value) {
    std::vector<std::wstring> entries;
    for (std::size_t at = 0; at < value.size();) {
      const std::size_t end = value.find(L'\0', at);
      if (end == std::wstring::npos) break;
      entries.push_back(value.substr(at, end - at));
      at = end + 1;
    }
    entries.resize(entries.size() / 2 * 2);  // the list's own terminator
    return entries;
  }

  std::wstring saved_;
};

std::wstring Wide(const std::string& gbk) { return GbkToWide(gbk); }

// This account's token as a standard user's: the Administrators group only for denying, as
// Windows gives it to an unelevated program of an administrator, ready for AccessCheck.
ScopedHandle StandardUserToken() {
  HANDLE own = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &own);
  const ScopedHandle process(own);
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof administrators;
  CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size);
  SID_AND_ATTRIBUTES denyOnly{administrators, 0};
  HANDLE restricted = nullptr;
  CreateRestrictedToken(process.Get(), 0, 1, &denyOnly, 0, nullptr, 0, nullptr, &restricted);
  const ScopedHandle primary(restricted);
  HANDLE impersonation = nullptr;
  DuplicateToken(primary.Get(), SecurityImpersonation, &impersonation);
  return ScopedHandle(impersonation);
}

// This process's own token, an administrator's, ready for AccessCheck.
ScopedHandle AdministratorToken() {
  HANDLE impersonation = nullptr;
  ImpersonateSelf(SecurityImpersonation);
  OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &impersonation);
  RevertToSelf();
  return ScopedHandle(impersonation);
}

// Whether the descriptor grants `token` all of `access` on a file or folder.
bool Grants(PSECURITY_DESCRIPTOR descriptor, HANDLE token, DWORD access) {
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                          FILE_ALL_ACCESS};
  PRIVILEGE_SET privileges{};
  DWORD privilegesSize = sizeof privileges, granted = 0;
  BOOL status = FALSE;
  return AccessCheck(descriptor, token, access, &mapping, &privileges, &privilegesSize, &granted,
                     &status) &&
         status;
}

// Wine 8 keeps no ACLs on files (GetNamedSecurityInfoW then gives a descriptor made from the Unix
// mode bits), so the descriptor the code builds is judged itself: by AccessCheck for this account
// as a standard user and as an administrator, and by its entries for SYSTEM, whose token no test
// can hold.
TEST(AdministratorsOnlyDescriptor, RefusesAStandardUsersChangesAndAdmitsAdministratorsAndSystem) {
  const ScopedLocalMemory built = AdministratorsOnlyDescriptor();
  ASSERT_TRUE(built.Valid());
  // AccessCheck needs an owner and a group: those an elevated run gives what it creates.
  wchar_t* text = nullptr;
  ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(
      built.Get(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr));
  const std::wstring dacl = text;
  LocalFree(text);
  PSECURITY_DESCRIPTOR owned = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      (L"O:BAG:BA" + dacl).c_str(), SDDL_REVISION_1, &owned, nullptr));
  const ScopedLocalMemory descriptor(owned);
  const ScopedHandle standard = StandardUserToken();
  const ScopedHandle administrator = AdministratorToken();
  ASSERT_TRUE(standard.Valid() && administrator.Valid());
  const struct {
    const char* what;
    HANDLE token;
    DWORD access;
    bool granted;
  } cases[] = {
      {"a standard user's write", standard.Get(), FILE_WRITE_DATA, false},
      {"a standard user's append", standard.Get(), FILE_APPEND_DATA, false},
      {"a standard user's rename or delete", standard.Get(), DELETE, false},
      {"a standard user's delete of an entry inside", standard.Get(), FILE_DELETE_CHILD, false},
      {"a standard user's new ACL", standard.Get(), WRITE_DAC, false},
      {"a standard user's read", standard.Get(), FILE_READ_DATA, false},
      {"an administrator's everything", administrator.Get(), FILE_ALL_ACCESS, true},
  };
  for (const auto& check : cases) {
    EXPECT_EQ(Grants(descriptor.Get(), check.token, check.access), check.granted) << check.what;
  }

  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(built.Get(), &control, &revision));
  EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "nothing of the parent's ACL is merged in";
  BOOL present = FALSE, defaulted = FALSE;
  PACL acl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(built.Get(), &present, &acl, &defaulted) && acl);
  std::map<std::wstring, ACCESS_MASK> allowed;
  for (DWORD index = 0; index < acl->AceCount; ++index) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(acl, index, reinterpret_cast<void**>(&ace)));
    ASSERT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    wchar_t* sid = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidW(&ace->SidStart, &sid));
    allowed[sid] = ace->Mask;
    LocalFree(sid);
  }
  EXPECT_EQ(allowed, (std::map<std::wstring, ACCESS_MASK>{{L"S-1-5-32-544", FILE_ALL_ACCESS},
                                                          {L"S-1-5-18", FILE_ALL_ACCESS}}));
}

TEST(ProtectedFolder, ANameSomeoneMadeFirstIsRefused) {
  const TemporaryDirectory directory;
  const std::wstring planted = Wide(directory.Inside("planted"));
  ASSERT_TRUE(CreateDirectoryW(planted.c_str(), nullptr));
  EXPECT_FALSE(CreateProtectedFolder(planted));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(CreateProtectedFolder(Wide(directory.Inside("fresh"))));
}

// The copy lies in a folder of a new random name, cannot be written or deleted until it has
// started, starts from a folder named with a letter GBK lacks, and is marked for deletion at
// restart with its folder.
TEST(ProtectedCopy, IsHeldUntilStartedFromAnyPathAndGoesAtRestartWithItsFolder) {
  const TemporaryDirectory directory;
  const std::wstring parent = Wide(directory.Path()) + L"\\Bj\u00f6rn\\";
  ASSERT_TRUE(CreateDirectoryW(parent.c_str(), nullptr));
  const std::wstring source = Wide(testing::TestChildPath());
  ProtectedCopy copy = ProtectedCopy::Make(source, parent, L"child.exe");
  ASSERT_TRUE(copy.Valid());
  EXPECT_EQ(copy.Folder().rfind(parent + L"veltrane-", 0), 0u) << copy.Folder().size();
  EXPECT_EQ(copy.Path(), copy.Folder() + L"\\child.exe");
  ProtectedCopy second = ProtectedCopy::Make(source, parent, L"child.exe");
  ASSERT_TRUE(second.Valid());
  EXPECT_NE(second.Folder(), copy.Folder());
  second.Discard();
  WIN32_FILE_ATTRIBUTE_DATA copied{}, original{};
  ASSERT_TRUE(GetFileAttributesExW(copy.Path().c_str(), GetFileExInfoStandard, &copied));
  ASSERT_TRUE(GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &original));
  EXPECT_EQ(copied.nFileSizeLow, original.nFileSizeLow);

  const ScopedHandle writer(CreateFileW(copy.Path().c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(writer.Valid());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(DeleteFileW(copy.Path().c_str()));

  const PendingRenames pending;
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  const ScopedHandle event(CreateEventW(&inheritable, TRUE, FALSE, nullptr));
  const ScopedHandle child = copy.Start(L"exit 4 0", event.Get(), parent);
  ASSERT_TRUE(child.Valid());
  ASSERT_EQ(WaitForSingleObject(child.Get(), kChildTimeout), WAIT_OBJECT_0);
  DWORD exitCode = 0;
  EXPECT_TRUE(GetExitCodeProcess(child.Get(), &exitCode) && exitCode == 4);
  EXPECT_EQ(pending.Added(), (std::vector<std::wstring>{L"\\??\\" + copy.Path(), L"",
                                                        L"\\??\\" + copy.Folder(), L""}));
  copy.Discard();
  EXPECT_EQ(GetFileAttributesW(copy.Folder().c_str()), INVALID_FILE_ATTRIBUTES);
}

// An uninstaller that cannot go now goes at restart under a name of its own: a new one written
// under the old name before then stays.
TEST(DeleteAtRestartUnderNewName, FreesTheNameAndMarksTheMovedFileBeforeItsFolder) {
  const TemporaryDirectory directory;
  const std::wstring folder = Wide(directory.Path());
  const std::wstring file = folder + L"\\uninstall.exe";
  ASSERT_TRUE(
      CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)));
  const PendingRenames pending;
  ASSERT_TRUE(DeleteAtRestartUnderNewName(file, folder, L"uninstall-removed-"));
  EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
  const std::vector<std::wstring> added = pending.Added();
  ASSERT_EQ(added.size(), 4u);
  EXPECT_EQ(added[0].rfind(L"\\??\\" + folder + L"\\uninstall-removed-", 0), 0u);
  EXPECT_NE(GetFileAttributesW(added[0].substr(4).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(added[2], L"\\??\\" + folder);
}

}  // namespace
}  // namespace runtime
