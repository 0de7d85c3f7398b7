#define _CRT_RAND_S
#include "runtime/protected_folder.h"

#include <sddl.h>
#include <stdlib.h>
#include <windows.h>

namespace runtime {

namespace {

// Protected ("P"): nothing of a parent's ACL, such as the "Authenticated Users: Modify" a folder
// under C:\ inherits, is merged in. File All access for BA (Administrators) and SY (SYSTEM),
// inherited by files (OI) and folders (CI) below.
constexpr wchar_t kAdministratorsOnly[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
constexpr int kRandomWords = 2;
constexpr int kHexDigitsPerWord = 8;
constexpr int kBitsPerHexDigit = 4;
constexpr unsigned kHexDigitMask = 0xF;

}  // namespace

ScopedLocalMemory AdministratorsOnlyDescriptor() {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsOnly, SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return {};
  }
  return ScopedLocalMemory(descriptor);
}

bool CreateProtectedFolder(const std::wstring& path) {
  const ScopedLocalMemory descriptor = AdministratorsOnlyDescriptor();
  if (!descriptor.Valid()) return false;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
  // Fails with ERROR_ALREADY_EXISTS on a name someone made first, with an ACL of their choosing.
  return CreateDirectoryW(path.c_str(), &attributes) != 0;
}

std::wstring RandomName(std::wstring_view prefix) {
  constexpr wchar_t kHexDigits[] = L"0123456789abcdef";
  std::wstring name(prefix);
  for (int word = 0; word < kRandomWords; ++word) {
    unsigned value = 0;
    // msvcrt's rand_s draws from RtlGenRandom, the system's cryptographic source.
    if (rand_s(&value) != 0) return {};
    for (int digit = kHexDigitsPerWord - 1; digit >= 0; --digit) {
      name.push_back(kHexDigits[(value >> (digit * kBitsPerHexDigit)) & kHexDigitMask]);
    }
  }
  return name;
}

}  // namespace runtime
