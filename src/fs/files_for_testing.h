#pragma once
// What the tests of the file operations reach beyond the product's interface.

#include <cstdint>
#include <string>

#include "fs/tree_walk.h"
#include "runtime/file_find.h"

namespace fs {

// DeleteTree, making its file calls through `api` and calling `entered` inside each directory it
// walks: a test acts there while the directory is held, as another program could.
[[nodiscard]] bool DeleteTreeForTesting(const std::wstring& path, DirectoryEnteredHook entered,
                                        const runtime::FileApi& api);

// The most bytes one call of RemoveLargeFile frees. Wine's server frees them, shrinking a file as
// deleting it, and serves nobody else meanwhile: 64 MiB took it 10 to 19 ms on a 2-core machine
// (a 957 MB archive's deletion 150 ms), and an answer of a window takes several requests.
inline constexpr std::uint64_t kFreedPerCall = std::uint64_t{8} << 20;

// RemoveLargeFile, making its file calls through `api`.
void RemoveLargeFileForTesting(const std::wstring& path, const runtime::FileApi& api);

// TreeSize, making its file calls through `api`.
[[nodiscard]] std::uint64_t TreeSizeForTesting(const std::wstring& path,
                                               const runtime::FileApi& api);

}  // namespace fs
