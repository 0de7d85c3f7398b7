#pragma once
// The installer's only way into the Windows registry: one object keeps at most one open key,
// remembers it as a root key and a sub-key path, and reuses it while requests name the same pair.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "registry/value.h"
#include "runtime/bytes.h"

namespace registry {

// The registry functions a RegistryKey calls, real ones by default. Holding them as values lets a
// test put counting wrappers around the real functions and see every call the object makes.
struct RegistryApi {
  decltype(&::RegOpenCurrentUser) openCurrentUser = &::RegOpenCurrentUser;
  decltype(&::RegOpenKeyExA) openKey = &::RegOpenKeyExA;
  decltype(&::RegCreateKeyExA) createKey = &::RegCreateKeyExA;
  decltype(&::RegCloseKey) closeKey = &::RegCloseKey;
  decltype(&::RegEnumKeyA) enumKey = &::RegEnumKeyA;
  decltype(&::RegEnumValueA) enumValue = &::RegEnumValueA;
  decltype(&::RegQueryValueExA) queryValue = &::RegQueryValueExA;
  decltype(&::RegSetValueExA) setValue = &::RegSetValueExA;
  decltype(&::RegDeleteValueA) deleteValue = &::RegDeleteValueA;
  decltype(&::RegDeleteKeyA) deleteKey = &::RegDeleteKeyA;
  decltype(&::RegSetValueExW) setValueWide = &::RegSetValueExW;
};

// The -1 key: what Open and Create return when no key could be reached, and the root of an object
// whose key was closed.
inline const HKEY kInvalidKey = reinterpret_cast<HKEY>(INT_PTR{-1});

// The first result other than success of a series of calls: ERROR_SUCCESS while all succeeded.
class FirstFailure {
 public:
  void Note(std::int32_t result) {
    if (first_ == ERROR_SUCCESS) first_ = result;
  }
  [[nodiscard]] std::int32_t Code() const { return first_; }

 private:
  std::int32_t first_ = ERROR_SUCCESS;
};

// Registry value type codes the writers take and the readers report.
enum ValueType : std::int32_t {
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegDwordBigEndian = 5,
  kRegMultiSz = 7,
  kRegQword = 11,
};

// One open registry key with its cache, in the 64-bit or the 32-bit registry view. Every operation
// names its key by a root (a predefined root key such as HKEY_LOCAL_MACHINE, or any open key) and a
// path below it, given in the ANSI code page; a request for the pair already open makes no
// registry call. The virtual operations keep the order of the object's method table, the
// destructor standing first for Destroy, and call one another through it. The object owns its key
// handle: it is closed when another key is opened, by Close, or on destruction.
class RegistryKey {
 public:
  // A closed object in the 64-bit view exactly when this 32-bit process runs on 64-bit Windows.
  explicit RegistryKey(const RegistryApi& api = {});
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Destroy: closes the open key.
  virtual ~RegistryKey();

  // A new object in the same view with its own open of the same key (closed when this one is
  // closed, or when reopening fails, whose code is then its LastResult).
  [[nodiscard]] virtual std::unique_ptr<RegistryKey> Copy() const;

  // Selects the view for the keys opened from now on; the next request reopens its key, even one
  // for the pair that is open now. The open key stays open until then.
  virtual void UseView64();
  virtual void UseView32();

  // Closes the open key: the RegCloseKey result, or -1 (nothing changed) when none is open.
  virtual std::int32_t Close();

  // Opens (root, path) with full access, closing another open key first: the key handle, or
  // kInvalidKey with the Win32 code in LastResult and the object closed.
  virtual HKEY Open(HKEY root, std::string_view path);

  // As Open, but creates missing keys; keys created below HKEY_CURRENT_USER are volatile.
  virtual HKEY Create(HKEY root, std::string_view path);

  // Replaces names by the key's sub-key names: their count, or the Win32 code of a failed open or
  // first listing step (names then untouched or emptied). LastResult is 0 after a full listing.
  virtual std::int32_t EnumSubKeys(HKEY root, std::string_view path,
                                   std::vector<std::string>& names);

  // The Win32 code of the last registry call the object recorded.
  [[nodiscard]] virtual std::int32_t LastResult() const;

  // Lists the key's values into values: the number of records it then holds, or the open's Win32
  // code. A listing of the key already open is appended to the records values already holds.
  virtual std::int32_t EnumValues(HKEY root, std::string_view path,
                                  std::vector<RegistryValue>& values);

  // Whether the key can be opened for reading in the current view; touches neither the open key
  // nor LastResult.
  [[nodiscard]] virtual bool KeyExists(HKEY root, std::string_view path);

  // Reads value `name`: 0 with value.name = path, value.type and value.data = the data without its
  // last byte; else the Win32 code. A missing value or one without data leaves value.data as it
  // was.
  virtual std::int32_t ReadValue(HKEY root, std::string_view path, std::string_view name,
                                 RegistryValue& value);

  // Writes bytes plus one appended zero byte (bytes is lengthened by it) as a value of type 1, 2,
  // 3 or 7; with create set the key is reached through Create. 0, the Win32 code, or -1 for
  // another type (no registry call).
  virtual std::int32_t WriteBytesValue(HKEY root, std::string_view path, std::string_view name,
                                       runtime::Bytes& bytes, std::int32_t type, bool create);

  // Writes the low four bytes of number, little-endian, as type 4 or 5, or all eight as type 11;
  // create as for WriteBytesValue. 0, the Win32 code, or -1 for another type (no registry call).
  virtual std::int32_t WriteIntegerValue(HKEY root, std::string_view path, std::string_view name,
                                         std::int64_t number, std::int32_t type, bool create);

  // Writes the REG_QWORD given by the lowest 16 hexadecimal digits of hexText, creating the key if
  // it cannot be opened: whether the value was written.
  [[nodiscard]] virtual bool WriteQwordHex(HKEY root, std::string_view path, std::string_view name,
                                           std::string_view hexText);

  // registry::PadBytes as an operation of the object.
  virtual void PadBytes(runtime::Bytes& bytes, std::size_t length);

  // Deletes value `name` of the key: 0 or the Win32 code.
  virtual std::int32_t DeleteValue(HKEY root, std::string_view path, std::string_view name);

  // Deletes the key, which must have no sub-keys, leaving its parent (the root itself for a path
  // without a backslash) as the open key: 0 or the Win32 code.
  virtual std::int32_t DeleteKey(HKEY root, std::string_view path);

  // registry::TypeName as an operation of the object.
  [[nodiscard]] virtual std::string TypeName(std::int32_t code);

  // 1 when the key has sub-keys, 0 when it has none, -1 when it cannot be opened or listed.
  [[nodiscard]] virtual std::int32_t HasSubKeys(HKEY root, std::string_view path);

  // Writes through the wide registry call, creating the key: `text` as REG_SZ, or `number` as
  // REG_DWORD. The ANSI call would convert a text from the system's own code page, so it reads the
  // same only on a Chinese Windows. 0 or the Win32 code.
  virtual std::int32_t WriteValueWide(HKEY root, std::string_view path, std::string_view name,
                                      std::wstring_view text);
  virtual std::int32_t WriteValueWide(HKEY root, std::string_view path, std::string_view name,
                                      std::uint32_t number);

  // State of the cache, for callers that need to know which key is open.
  [[nodiscard]] bool IsOpen() const { return isOpen_ != 0; }
  [[nodiscard]] HKEY RootKey() const { return rootKey_; }
  [[nodiscard]] const std::string& KeyPath() const { return keyPath_; }
  [[nodiscard]] bool UsesView64() const { return view64_ != 0; }

 private:
  // Whether (root, path) is the key that is open now and may be used as it is.
  [[nodiscard]] bool HoldsKey(HKEY root, std::string_view path) const;
  // Makes the next request for any pair reopen its key.
  void ForgetKey();
  // Open and Create after their cache test: closes, then opens or creates (root, path).
  HKEY Reach(HKEY root, std::string_view path, bool create);
  // The cached key when it is (root, path), else the result of Open or Create: false on failure.
  [[nodiscard]] bool Use(HKEY root, std::string_view path, bool create);
  // Use for the writers, whose create flag always reaches the key through Create.
  [[nodiscard]] bool UseForWriting(HKEY root, std::string_view path, bool create);
  // Sets value `name` of the open key, recording the result.
  std::int32_t SetValue(std::string_view name, std::int32_t type, runtime::ByteView data);
  // Creates (root, path) and sets value `name` through the wide call, recording the result.
  std::int32_t SetValueWide(HKEY root, std::string_view path, std::string_view name,
                            std::int32_t type, runtime::ByteView data);
  // KEY_ALL_ACCESS or KEY_READ with the bit of the current view.
  [[nodiscard]] REGSAM Access(REGSAM rights) const;

  BOOL view64_ = FALSE;
  std::int32_t lastResult_ = ERROR_SUCCESS;
  HKEY handle_ = nullptr;
  BOOL isOpen_ = FALSE;
  HKEY rootKey_ = nullptr;
  std::string keyPath_;
  RegistryApi api_;
};

}  // namespace registry
