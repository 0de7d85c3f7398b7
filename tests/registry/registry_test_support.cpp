#include "registry_test_support.h"

#include <gtest/gtest.h>

namespace registry_test {

namespace {

CallLog callLog;

LONG WINAPI CountOpenCurrentUser(REGSAM access, PHKEY result) {
  ++callLog.openCurrentUser;
  callLog.lastAccess = access;
  return RegOpenCurrentUser(access, result);
}

LONG WINAPI CountOpenKey(HKEY base, LPCSTR path, DWORD options, REGSAM access, PHKEY result) {
  ++callLog.openKey;
  callLog.lastAccess = access;
  callLog.opened.emplace_back(base, path);
  return RegOpenKeyExA(base, path, options, access, result);
}

LONG WINAPI CountCreateKey(HKEY base, LPCSTR path, DWORD reserved, LPSTR keyClass, DWORD options,
                           REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                           LPDWORD disposition) {
  ++callLog.createKey;
  callLog.lastAccess = access;
  callLog.lastCreateOptions = options;
  return RegCreateKeyExA(base, path, reserved, keyClass, options, access, security, result,
                         disposition);
}

LONG WINAPI CountCloseKey(HKEY key) {
  ++callLog.closeKey;
  callLog.closed.push_back(key);
  return RegCloseKey(key);
}

LONG WINAPI CountEnumKey(HKEY key, DWORD index, LPSTR name, DWORD size) {
  ++callLog.enumKey;
  return RegEnumKeyA(key, index, name, size);
}

LONG WINAPI CountEnumValue(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                           LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  ++callLog.enumValue;
  return RegEnumValueA(key, index, name, nameSize, reserved, type, data, dataSize);
}

LONG WINAPI CountQueryValue(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                            LPDWORD size) {
  ++callLog.queryValue;
  return RegQueryValueExA(key, name, reserved, type, data, size);
}

LONG WINAPI CountSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                          DWORD size) {
  ++callLog.setValue;
  return RegSetValueExA(key, name, reserved, type, data, size);
}

LONG WINAPI CountDeleteValue(HKEY key, LPCSTR name) {
  ++callLog.deleteValue;
  return RegDeleteValueA(key, name);
}

LONG WINAPI CountDeleteKey(HKEY key, LPCSTR name) {
  ++callLog.deleteKey;
  return RegDeleteKeyA(key, name);
}

}  // namespace

int CallLog::Total() const {
  return openCurrentUser + openKey + createKey + closeKey + enumKey + enumValue + queryValue +
         setValue + deleteValue + deleteKey;
}

CallLog& Calls() { return callLog; }

void ResetCalls() { callLog = CallLog{}; }

registry::RegistryApi CountingApi() {
  return {.openCurrentUser = &CountOpenCurrentUser,
          .openKey = &CountOpenKey,
          .createKey = &CountCreateKey,
          .closeKey = &CountCloseKey,
          .enumKey = &CountEnumKey,
          .enumValue = &CountEnumValue,
          .queryValue = &CountQueryValue,
          .setValue = &CountSetValue,
          .deleteValue = &CountDeleteValue,
          .deleteKey = &CountDeleteKey};
}

RawKey::RawKey(HKEY root, std::string_view path, REGSAM view, bool create, DWORD options) {
  const std::string text(path);
  HKEY key = nullptr;
  result_ = create ? RegCreateKeyExA(root, text.c_str(), 0, nullptr, options, KEY_ALL_ACCESS | view,
                                     nullptr, &key, nullptr)
                   : RegOpenKeyExA(root, text.c_str(), 0, KEY_ALL_ACCESS | view, &key);
  if (result_ == ERROR_SUCCESS) key_.Reset(key);
}

std::optional<StoredValue> ReadStored(HKEY root, std::string_view path, std::string_view name,
                                      REGSAM view) {
  const RawKey key(root, path, view);
  if (key.Result() != ERROR_SUCCESS) return std::nullopt;
  const std::string nameText(name);
  StoredValue value;
  DWORD size = 0;
  if (RegQueryValueExA(key.Get(), nameText.c_str(), nullptr, &value.type, nullptr, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.data.resize(size);
  if (RegQueryValueExA(key.Get(), nameText.c_str(), nullptr, &value.type, value.data.data(),
                       &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.data.resize(size);
  return value;
}

void WriteStored(HKEY root, std::string_view path, std::string_view name, DWORD type,
                 const runtime::Bytes& data, REGSAM view) {
  const RawKey key(root, path, view, /*create=*/true);
  ASSERT_EQ(key.Result(), ERROR_SUCCESS) << "creating " << path;
  ASSERT_EQ(RegSetValueExA(key.Get(), std::string(name).c_str(), 0, type, data.data(),
                           static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
}

bool StoredKeyExists(HKEY root, std::string_view path, REGSAM view) {
  return RawKey(root, path, view).Result() == ERROR_SUCCESS;
}

void DeleteStoredTree(HKEY root, std::string_view path, REGSAM view) {
  const std::size_t slash = path.rfind('\\');
  const std::string parent(slash == std::string_view::npos ? "" : path.substr(0, slash));
  const std::string child(path.substr(slash + 1));
  const RawKey parentKey(root, parent, view);
  if (parentKey.Result() == ERROR_SUCCESS) RegDeleteTreeA(parentKey.Get(), child.c_str());
}

int RegQuery(std::wstring_view arguments) {
  std::wstring commandLine = L"reg.exe query " + std::wstring(arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &process)) {
    return -1;
  }
  const runtime::ScopedHandle processHandle(process.hProcess);
  const runtime::ScopedHandle threadHandle(process.hThread);
  WaitForSingleObject(processHandle.Get(), INFINITE);
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(processHandle.Get(), &exitCode)) return -1;
  return static_cast<int>(exitCode);
}

}  // namespace registry_test
