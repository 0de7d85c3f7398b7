#include "registry/registry_key.h"

#include <utility>

#include "registry/key_path.h"
#include "runtime/gbk.h"
#include "runtime/scoped_handle.h"
#include "runtime/text.h"

namespace registry {

namespace {

// HKEY_CURRENT_CONFIG is reached through the key it stands for, so that the configured view
// applies to it as to any other key below HKEY_LOCAL_MACHINE.
constexpr char kCurrentConfigPath[] = "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current";

// Room for a key or value name in the ANSI listings, terminator included.
constexpr DWORD kNameBufferSize = 256;

// Data sizes of the integer value types.
constexpr std::size_t kDwordSize = 4, kQwordSize = 8;

// A key opened only on the way to another one, closed on every path out of the operation through
// the object's own registry functions.
class TransientKeyTraits : public runtime::RegistryKeyTraits {
 public:
  explicit TransientKeyTraits(decltype(&::RegCloseKey) closeKey = &::RegCloseKey)
      : closeKey_(closeKey) {}
  void Close(Handle key) const { closeKey_(key); }

 private:
  decltype(&::RegCloseKey) closeKey_;
};
using TransientKey = runtime::GenericScopedHandle<TransientKeyTraits>;

}  // namespace

RegistryKey::RegistryKey(const RegistryApi& api) : api_(api) {
  BOOL wow64 = FALSE;
  if (IsWow64Process(GetCurrentProcess(), &wow64)) view64_ = wow64;
}

RegistryKey::~RegistryKey() { Close(); }

std::unique_ptr<RegistryKey> RegistryKey::Copy() const {
  auto copy = std::make_unique<RegistryKey>(api_);
  copy->view64_ = view64_;
  if (HoldsKey(rootKey_, keyPath_)) {
    // Its own handle, so that each object closes exactly the handle it opened.
    if (copy->Open(rootKey_, keyPath_) == kInvalidKey) return copy;
  } else {
    copy->rootKey_ = rootKey_;
    copy->keyPath_ = keyPath_;
  }
  copy->lastResult_ = lastResult_;
  return copy;
}

void RegistryKey::UseView64() {
  view64_ = TRUE;
  ForgetKey();
}

void RegistryKey::UseView32() {
  view64_ = FALSE;
  ForgetKey();
}

std::int32_t RegistryKey::Close() {
  if (!isOpen_) return -1;
  lastResult_ = api_.closeKey(handle_);
  isOpen_ = FALSE;
  keyPath_.clear();
  rootKey_ = kInvalidKey;
  return lastResult_;
}

HKEY RegistryKey::Open(HKEY root, std::string_view path) {
  if (HoldsKey(root, path)) return handle_;
  return Reach(root, path, /*create=*/false);
}

HKEY RegistryKey::Create(HKEY root, std::string_view path) {
  if (HoldsKey(root, path)) return handle_;
  return Reach(root, path, /*create=*/true);
}

std::int32_t RegistryKey::EnumSubKeys(HKEY root, std::string_view path,
                                      std::vector<std::string>& names) {
  if (!Use(root, path, /*create=*/false)) return lastResult_;
  names.clear();
  std::string buffer(kNameBufferSize, ' ');
  DWORD index = 0;
  while ((lastResult_ = api_.enumKey(handle_, index, buffer.data(), kNameBufferSize)) ==
         ERROR_SUCCESS) {
    names.emplace_back(buffer.c_str());
    ++index;
  }
  if (lastResult_ == ERROR_NO_MORE_ITEMS) {
    lastResult_ = ERROR_SUCCESS;
  } else if (index == 0) {
    return lastResult_;
  }
  return static_cast<std::int32_t>(names.size());
}

std::int32_t RegistryKey::LastResult() const { return lastResult_; }

std::int32_t RegistryKey::EnumValues(HKEY root, std::string_view path,
                                     std::vector<RegistryValue>& values) {
  if (!HoldsKey(root, path)) {
    if (Open(root, path) == kInvalidKey) return lastResult_;
    values.clear();
  }
  std::string nameBuffer(kNameBufferSize, ' ');
  RegistryValue working;
  DWORD dataSize = 0;
  for (DWORD index = 0;; ++index) {
    const auto enumerate = [&] {
      DWORD nameSize = kNameBufferSize;
      DWORD type = 0;
      const LONG result =
          api_.enumValue(handle_, index, nameBuffer.data(), &nameSize, nullptr, &type,
                         working.data ? working.data->data() : nullptr, &dataSize);
      working.type = static_cast<std::int32_t>(type);
      return result;
    };
    // The first call only learns the data size, which the API reports even when the buffer of
    // the previous value is too small for this one.
    (void)enumerate();
    working.data = dataSize == 0 ? std::nullopt : std::optional(runtime::Bytes(dataSize));
    lastResult_ = enumerate();
    if (lastResult_ != ERROR_SUCCESS) break;
    if (working.data) working.data->resize(dataSize);
    working.name = nameBuffer.c_str();
    values.push_back(working);
  }
  if (lastResult_ == ERROR_NO_MORE_ITEMS) lastResult_ = ERROR_SUCCESS;
  return static_cast<std::int32_t>(values.size());
}

bool RegistryKey::KeyExists(HKEY root, std::string_view path) {
  const std::string pathText(path);
  HKEY received = nullptr;
  const LONG result = api_.openKey(root, pathText.c_str(), 0, Access(KEY_READ), &received);
  const TransientKey key(result == ERROR_SUCCESS ? received : nullptr,
                         TransientKeyTraits(api_.closeKey));
  return result == ERROR_SUCCESS;
}

std::int32_t RegistryKey::ReadValue(HKEY root, std::string_view path, std::string_view name,
                                    RegistryValue& value) {
  if (!Use(root, path, /*create=*/false)) return lastResult_;
  value.name = path;
  const std::string nameText(name);
  DWORD type = 0;
  DWORD size = 0;
  BYTE probe = 0;
  lastResult_ = api_.queryValue(handle_, nameText.c_str(), nullptr, &type, &probe, &size);
  if (lastResult_ == ERROR_SUCCESS) value.type = static_cast<std::int32_t>(type);
  if (lastResult_ != ERROR_MORE_DATA) return lastResult_;

  runtime::Bytes data(size);
  lastResult_ = api_.queryValue(handle_, nameText.c_str(), nullptr, &type, data.data(), &size);
  if (lastResult_ != ERROR_SUCCESS) return lastResult_;
  // The last byte is dropped for every type: it is the terminator the writers append to texts.
  data.resize(size == 0 ? 0 : size - 1);
  value.type = static_cast<std::int32_t>(type);
  value.data = std::move(data);
  return lastResult_;
}

std::int32_t RegistryKey::WriteBytesValue(HKEY root, std::string_view path, std::string_view name,
                                          runtime::Bytes& bytes, std::int32_t type, bool create) {
  if (type != kRegSz && type != kRegExpandSz && type != kRegBinary && type != kRegMultiSz) {
    return -1;
  }
  if (!UseForWriting(root, path, create)) return lastResult_;
  bytes.push_back(0);
  return SetValue(name, type, bytes);
}

std::int32_t RegistryKey::WriteIntegerValue(HKEY root, std::string_view path, std::string_view name,
                                            std::int64_t number, std::int32_t type, bool create) {
  if (type != kRegDword && type != kRegDwordBigEndian && type != kRegQword) return -1;
  if (!UseForWriting(root, path, create)) return lastResult_;
  const runtime::Bytes bytes = runtime::ToBytes(number);
  // Both DWORD types store the little-endian low half: no swap for REG_DWORD_BIG_ENDIAN.
  const std::size_t size = type == kRegQword ? kQwordSize : kDwordSize;
  return SetValue(name, type, runtime::ByteView(bytes).first(size));
}

bool RegistryKey::WriteQwordHex(HKEY root, std::string_view path, std::string_view name,
                                std::string_view hexText) {
  if (Open(root, path) == kInvalidKey && Create(root, path) == kInvalidKey) return false;
  runtime::Bytes bytes = HexTextToBytes(hexText);
  PadBytes(bytes, kQwordSize);
  return SetValue(name, kRegQword, runtime::ByteView(bytes).first(kQwordSize)) == ERROR_SUCCESS;
}

void RegistryKey::PadBytes(runtime::Bytes& bytes, std::size_t length) {
  registry::PadBytes(bytes, length);
}

std::int32_t RegistryKey::DeleteValue(HKEY root, std::string_view path, std::string_view name) {
  if (!Use(root, path, /*create=*/false)) return lastResult_;
  lastResult_ = api_.deleteValue(handle_, std::string(name).c_str());
  return lastResult_;
}

std::int32_t RegistryKey::DeleteKey(HKEY root, std::string_view path) {
  const KeyPathParts parts = SplitKeyPath(path);
  if (Open(root, parts.parent) == kInvalidKey) return lastResult_;
  lastResult_ = api_.deleteKey(handle_, std::string(parts.child).c_str());
  return lastResult_;
}

std::string RegistryKey::TypeName(std::int32_t code) { return registry::TypeName(code); }

std::int32_t RegistryKey::HasSubKeys(HKEY root, std::string_view path) {
  if (!Use(root, path, /*create=*/false)) return -1;
  std::string buffer(kNameBufferSize, ' ');
  lastResult_ = api_.enumKey(handle_, 0, buffer.data(), kNameBufferSize);
  if (lastResult_ == ERROR_NO_MORE_ITEMS) return 0;
  return lastResult_ == ERROR_SUCCESS ? 1 : -1;
}

std::int32_t RegistryKey::WriteValueWide(HKEY root, std::string_view path, std::string_view name,
                                         std::wstring_view text) {
  const std::wstring wide(text);
  // The terminator belongs to a REG_SZ value's data.
  const auto* units = reinterpret_cast<const std::uint8_t*>(wide.c_str());
  return SetValueWide(root, path, name, kRegSz,
                      runtime::ByteView(units, (wide.size() + 1) * sizeof(wchar_t)));
}

std::int32_t RegistryKey::WriteValueWide(HKEY root, std::string_view path, std::string_view name,
                                         std::uint32_t number) {
  const runtime::Bytes bytes = runtime::ToBytes(number);
  return SetValueWide(root, path, name, kRegDword, bytes);
}

bool RegistryKey::HoldsKey(HKEY root, std::string_view path) const {
  // A forgotten key (root -1) is still open, but only for closing.
  return isOpen_ && rootKey_ != kInvalidKey && rootKey_ == root && keyPath_ == path;
}

void RegistryKey::ForgetKey() {
  rootKey_ = kInvalidKey;
  keyPath_.clear();
}

HKEY RegistryKey::Reach(HKEY root, std::string_view path, bool create) {
  Close();
  const REGSAM access = Access(KEY_ALL_ACCESS);
  TransientKey parent(nullptr, TransientKeyTraits(api_.closeKey));
  HKEY base = root;
  if (root == HKEY_CURRENT_USER || root == HKEY_CURRENT_CONFIG) {
    HKEY received = nullptr;
    lastResult_ = root == HKEY_CURRENT_USER
                      ? api_.openCurrentUser(access, &received)
                      : api_.openKey(HKEY_LOCAL_MACHINE, kCurrentConfigPath, 0, access, &received);
    if (lastResult_ != ERROR_SUCCESS) return kInvalidKey;
    parent.Reset(received);
    base = parent.Get();
  }
  const std::string pathText(path);
  HKEY opened = nullptr;
  if (create) {
    // Keys made below the current user's hive vanish with the session.
    const DWORD options = root == HKEY_CURRENT_USER ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE;
    DWORD disposition = 0;
    lastResult_ = api_.createKey(base, pathText.c_str(), 0, nullptr, options, access, nullptr,
                                 &opened, &disposition);
  } else {
    lastResult_ = api_.openKey(base, pathText.c_str(), 0, access, &opened);
  }
  if (lastResult_ != ERROR_SUCCESS) return kInvalidKey;
  handle_ = opened;
  isOpen_ = TRUE;
  rootKey_ = root;
  keyPath_ = pathText;
  return handle_;
}

bool RegistryKey::Use(HKEY root, std::string_view path, bool create) {
  return (create ? Create(root, path) : Open(root, path)) != kInvalidKey;
}

bool RegistryKey::UseForWriting(HKEY root, std::string_view path, bool create) {
  // The create flag always goes through Create, so that a missing key is made even when the
  // same pair was open a moment ago and has been deleted since.
  if (create) ForgetKey();
  return Use(root, path, create);
}

std::int32_t RegistryKey::SetValue(std::string_view name, std::int32_t type,
                                   runtime::ByteView data) {
  lastResult_ = api_.setValue(handle_, std::string(name).c_str(), 0, static_cast<DWORD>(type),
                              data.data(), static_cast<DWORD>(data.size()));
  return lastResult_;
}

std::int32_t RegistryKey::SetValueWide(HKEY root, std::string_view path, std::string_view name,
                                       std::int32_t type, runtime::ByteView data) {
  if (!UseForWriting(root, path, /*create=*/true)) return lastResult_;
  lastResult_ =
      api_.setValueWide(handle_, runtime::GbkToWide(name).c_str(), 0, static_cast<DWORD>(type),
                        data.data(), static_cast<DWORD>(data.size()));
  return lastResult_;
}

REGSAM RegistryKey::Access(REGSAM rights) const {
  return rights | (view64_ ? KEY_WOW64_64KEY : KEY_WOW64_32KEY);
}

}  // namespace registry
