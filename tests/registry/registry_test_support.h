#pragma once
// What the registry tests share: a registry seam that counts and records every call the key
// object makes before passing it to the real registry, direct access to the registry past the
// object, and reg.exe as an outside witness of the two registry views.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/registry_key.h"
#include "runtime/bytes.h"
#include "runtime/scoped_handle.h"

namespace registry_test {

// The tests' own key below HKEY_LOCAL_MACHINE (and below HKEY_CURRENT_USER, HKEY_CURRENT_CONFIG).
inline constexpr char kTestPath[] = "SOFTWARE\\VeltraneRegistryTests";

// Every registry call the counting seam saw since the last Reset.
struct CallLog {
  int openCurrentUser = 0;
  int openKey = 0;
  int createKey = 0;
  int closeKey = 0;
  int enumKey = 0;
  int enumValue = 0;
  int queryValue = 0;
  int setValue = 0;
  int deleteValue = 0;
  int deleteKey = 0;
  REGSAM lastAccess = 0;        // of the last open, create or current-user open
  DWORD lastCreateOptions = 0;  // of the last create
  std::vector<std::pair<HKEY, std::string>> opened;  // base and path of each RegOpenKeyExA
  std::vector<HKEY> closed;                          // each key handed to RegCloseKey

  [[nodiscard]] int Total() const;
};

// The log of the counting seam; cleared by ResetCalls.
[[nodiscard]] CallLog& Calls();
void ResetCalls();

// Registry functions that log into Calls() and then call the real ones.
[[nodiscard]] registry::RegistryApi CountingApi();

// A key the test opened itself; closed when the object goes.
class RawKey {
 public:
  // Opens (or with create, creates) root\path in the given view (KEY_WOW64_64KEY or _32KEY).
  RawKey(HKEY root, std::string_view path, REGSAM view, bool create = false,
         DWORD options = REG_OPTION_NON_VOLATILE);

  [[nodiscard]] LONG Result() const { return result_; }
  [[nodiscard]] HKEY Get() const { return key_.Get(); }

 private:
  runtime::ScopedRegistryKey key_;
  LONG result_;
};

// A value as the registry holds it.
struct StoredValue {
  DWORD type = 0;
  runtime::Bytes data;
  bool operator==(const StoredValue&) const = default;
};

// The value root\path\name in the view, or nothing when it cannot be read.
[[nodiscard]] std::optional<StoredValue> ReadStored(HKEY root, std::string_view path,
                                                    std::string_view name, REGSAM view);

// Creates root\path in the view if needed and sets the value; fails the test if it cannot.
void WriteStored(HKEY root, std::string_view path, std::string_view name, DWORD type,
                 const runtime::Bytes& data, REGSAM view);

// Whether root\path can be opened in the view.
[[nodiscard]] bool StoredKeyExists(HKEY root, std::string_view path, REGSAM view);

// Removes root\path with everything below it in the view, if it is there.
void DeleteStoredTree(HKEY root, std::string_view path, REGSAM view);

// Exit code of `reg.exe query <arguments>` (0 found, 1 not found), or -1 if it did not run.
[[nodiscard]] int RegQuery(std::wstring_view arguments);

}  // namespace registry_test
