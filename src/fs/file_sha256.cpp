#include "fs/file_sha256.h"

#include <bcrypt.h>

#include <memory>
#include <vector>

#include "fs/system_library.h"
#include "runtime/scoped_handle.h"

namespace fs {

namespace {

// How much of the file one read takes.
constexpr DWORD kReadBytes = 64 * 1024;
// A status for a CNG call that could not be bound (bcrypt.dll missing from the system directory).
constexpr unsigned long kNotBound = ERROR_PROC_NOT_FOUND;

// The CNG calls a hash needs, bound by name from the system's bcrypt.dll.
struct Cng {
  decltype(&::BCryptOpenAlgorithmProvider) openAlgorithm = nullptr;
  decltype(&::BCryptCloseAlgorithmProvider) closeAlgorithm = nullptr;
  decltype(&::BCryptGetProperty) getProperty = nullptr;
  decltype(&::BCryptCreateHash) createHash = nullptr;
  decltype(&::BCryptHashData) hashData = nullptr;
  decltype(&::BCryptFinishHash) finishHash = nullptr;
  decltype(&::BCryptDestroyHash) destroyHash = nullptr;

  [[nodiscard]] bool Bound() const {
    return openAlgorithm != nullptr && closeAlgorithm != nullptr && getProperty != nullptr &&
           createHash != nullptr && hashData != nullptr && finishHash != nullptr &&
           destroyHash != nullptr;
  }
};

// Bound once, by one thread at a time (a step's worker while the window's thread waits for it).
const Cng& BoundCng() {
  static const SystemLibrary library(L"bcrypt.dll");
  static const Cng cng{
      library.Bind<decltype(&::BCryptOpenAlgorithmProvider)>("BCryptOpenAlgorithmProvider"),
      library.Bind<decltype(&::BCryptCloseAlgorithmProvider)>("BCryptCloseAlgorithmProvider"),
      library.Bind<decltype(&::BCryptGetProperty)>("BCryptGetProperty"),
      library.Bind<decltype(&::BCryptCreateHash)>("BCryptCreateHash"),
      library.Bind<decltype(&::BCryptHashData)>("BCryptHashData"),
      library.Bind<decltype(&::BCryptFinishHash)>("BCryptFinishHash"),
      library.Bind<decltype(&::BCryptDestroyHash)>("BCryptDestroyHash")};
  return cng;
}

// An algorithm provider and a hash object, each closed by the bound call that frees its kind.
struct AlgorithmTraits {
  using Handle = BCRYPT_ALG_HANDLE;
  static constexpr Handle kInvalid = nullptr;
  static bool IsValid(Handle handle) { return handle != nullptr; }
  decltype(&::BCryptCloseAlgorithmProvider) close = nullptr;
  void Close(Handle handle) const { close(handle, 0); }
};
struct HashTraits {
  using Handle = BCRYPT_HASH_HANDLE;
  static constexpr Handle kInvalid = nullptr;
  static bool IsValid(Handle handle) { return handle != nullptr; }
  decltype(&::BCryptDestroyHash) destroy = nullptr;
  void Close(Handle handle) const { destroy(handle); }
};

}  // namespace

Sha256Result Sha256OfFile(HANDLE file) {
  const Cng& cng = BoundCng();
  if (!cng.Bound()) return {std::nullopt, kNotBound};
  BCRYPT_ALG_HANDLE opened = nullptr;
  NTSTATUS status = cng.openAlgorithm(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
  const runtime::GenericScopedHandle<AlgorithmTraits> algorithm(
      BCRYPT_SUCCESS(status) ? opened : nullptr, AlgorithmTraits{cng.closeAlgorithm});
  if (!algorithm.Valid()) return {std::nullopt, static_cast<unsigned long>(status)};
  // Vista wants the hash object's memory from the caller; later systems take it either way.
  DWORD objectBytes = 0;
  ULONG written = 0;
  status = cng.getProperty(algorithm.Get(), BCRYPT_OBJECT_LENGTH,
                           reinterpret_cast<PUCHAR>(&objectBytes), sizeof objectBytes, &written, 0);
  if (!BCRYPT_SUCCESS(status)) return {std::nullopt, static_cast<unsigned long>(status)};
  std::vector<UCHAR> object(objectBytes);
  BCRYPT_HASH_HANDLE created = nullptr;
  status = cng.createHash(algorithm.Get(), &created, object.data(), objectBytes, nullptr, 0, 0);
  const runtime::GenericScopedHandle<HashTraits> hash(BCRYPT_SUCCESS(status) ? created : nullptr,
                                                      HashTraits{cng.destroyHash});
  if (!hash.Valid()) return {std::nullopt, static_cast<unsigned long>(status)};
  const auto buffer = std::make_unique<UCHAR[]>(kReadBytes);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, buffer.get(), kReadBytes, &read, nullptr)) {
      return {std::nullopt, GetLastError()};
    }
    if (read == 0) break;
    status = cng.hashData(hash.Get(), buffer.get(), read, 0);
    if (!BCRYPT_SUCCESS(status)) return {std::nullopt, static_cast<unsigned long>(status)};
  }
  Sha256Digest digest{};
  status = cng.finishHash(hash.Get(), digest.data(), static_cast<ULONG>(digest.size()), 0);
  if (!BCRYPT_SUCCESS(status)) return {std::nullopt, static_cast<unsigned long>(status)};
  return {digest, ERROR_SUCCESS};
}

}  // namespace fs
