#include "runtime/image_file.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "runtime/image_file_for_testing.h"
#include "runtime/scoped_handle.h"

namespace runtime {

namespace {

// Large enough that the pieces cost nothing beside the medium's time, small enough that a bar
// moves several times a second on a slow one and that the buffer keeps the peak of private memory
// near the idle one.
constexpr DWORD kPieceSize = DWORD{1} << 20;
// The file's headers (MS-DOS stub, PE header, section table) lie within its first page.
constexpr DWORD kHeaderBytes = 4096;

// The file the module was loaded from; empty when the system names none.
std::wstring ModuleFileName(HMODULE module) {
  // A name that fills the buffer may have been cut short: grow until it fits.
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size() - 1) return name.substr(0, length);
    name.assign(name.size() * 2, L'\0');
  }
}

// Reads `size` bytes at `offset`; false with the last error, ERROR_HANDLE_EOF when the file ends
// before them.
bool ReadAt(HANDLE file, std::uint64_t offset, void* buffer, DWORD size, DWORD& read) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  read = 0;
  return ::ReadFile(file, buffer, size, &read, &at) != FALSE;
}

// An object of the headers at `at`, when they hold it.
template <typename Header>
bool HeaderAt(const Bytes& headers, std::size_t at, Header& header) {
  if (at > headers.size() || headers.size() - at < sizeof header) return false;
  std::memcpy(&header, headers.data() + at, sizeof header);
  return true;
}

// Where in the file its section table puts the `size` bytes at `rva` in the image; false with
// ERROR_BAD_EXE_FORMAT when no section holds them in the file.
bool FileOffsetOf(HANDLE file, std::uint32_t rva, std::size_t size, std::uint64_t& offset) {
  Bytes headers(kHeaderBytes);
  DWORD read = 0;
  if (!ReadAt(file, 0, headers.data(), kHeaderBytes, read)) return false;
  headers.resize(read);
  IMAGE_DOS_HEADER dos{};
  IMAGE_FILE_HEADER fileHeader{};
  DWORD signature = 0;
  if (HeaderAt(headers, 0, dos) && dos.e_magic == IMAGE_DOS_SIGNATURE && dos.e_lfanew > 0 &&
      HeaderAt(headers, static_cast<std::size_t>(dos.e_lfanew), signature) &&
      signature == IMAGE_NT_SIGNATURE &&
      HeaderAt(headers, static_cast<std::size_t>(dos.e_lfanew) + sizeof signature, fileHeader)) {
    const std::size_t table = static_cast<std::size_t>(dos.e_lfanew) + sizeof signature +
                              sizeof fileHeader + fileHeader.SizeOfOptionalHeader;
    for (WORD index = 0; index < fileHeader.NumberOfSections; ++index) {
      IMAGE_SECTION_HEADER section{};
      if (!HeaderAt(headers, table + index * sizeof section, section)) break;
      if (rva >= section.VirtualAddress && rva - section.VirtualAddress <= section.SizeOfRawData &&
          size <= section.SizeOfRawData - (rva - section.VirtualAddress)) {
        offset = std::uint64_t{section.PointerToRawData} + (rva - section.VirtualAddress);
        return true;
      }
    }
  }
  SetLastError(ERROR_BAD_EXE_FORMAT);
  return false;
}

ImageReadReport Failed(ImageRead outcome) { return {outcome, GetLastError()}; }

}  // namespace

ImageReadReport ReadFromImageFileForTesting(const std::wstring& file, ByteView inImage,
                                            bool (*take)(ByteView, void*), void* context) {
  if (inImage.empty()) return {};
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(inImage.data()), &module)) {
    return Failed(ImageRead::kReadFailed);
  }
  // The loader keeps the file open without write sharing: nobody changes it while it runs.
  const ScopedHandle image(CreateFileW(file.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  std::uint64_t offset = 0;
  const auto rva =
      static_cast<std::uint32_t>(inImage.data() - reinterpret_cast<const std::uint8_t*>(module));
  if (!image.Valid() || !FileOffsetOf(image.Get(), rva, inImage.size(), offset)) {
    return Failed(ImageRead::kReadFailed);
  }
  Bytes buffer(std::min<std::size_t>(kPieceSize, inImage.size()));
  for (std::size_t at = 0; at < inImage.size();) {
    const auto size = static_cast<DWORD>(std::min(buffer.size(), inImage.size() - at));
    DWORD read = 0;
    if (!ReadAt(image.Get(), offset + at, buffer.data(), size, read)) {
      return Failed(ImageRead::kReadFailed);
    }
    if (read != size) return {ImageRead::kReadFailed, ERROR_HANDLE_EOF};
    if (!take(ByteView(buffer.data(), size), context)) return Failed(ImageRead::kStopped);
    at += size;
  }
  return {};
}

ImageReadReport ReadFromImageFile(ByteView inImage, bool (*take)(ByteView, void*), void* context) {
  HMODULE module = nullptr;
  if (!inImage.empty() && !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                              reinterpret_cast<LPCWSTR>(inImage.data()), &module)) {
    return Failed(ImageRead::kReadFailed);
  }
  return ReadFromImageFileForTesting(ModuleFileName(module), inImage, take, context);
}

ImageReadReport WriteFromImageFile(const std::wstring& path, ByteView inImage, Progress* progress,
                                   const std::atomic<bool>* cancel) {
  const ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return Failed(ImageRead::kStopped);
  if (progress != nullptr) progress->Restart(inImage.size());
  const auto write = [&](ByteView piece) {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
      SetLastError(ERROR_CANCELLED);
      return false;
    }
    DWORD written = 0;
    if (!::WriteFile(file.Get(), piece.data(), static_cast<DWORD>(piece.size()), &written,
                     nullptr)) {
      return false;
    }
    if (written != piece.size()) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    if (progress != nullptr) progress->done.fetch_add(written, std::memory_order_relaxed);
    return true;
  };
  return ReadFromImageFile(inImage, write);
}

}  // namespace runtime
