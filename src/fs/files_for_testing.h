#pragma once
// What the tests of the file operations reach beyond the product's interface.

#include <string_view>

namespace fs {

// Called with each directory the tree removal has entered, while it holds the directory.
using DirectoryEnteredHook = void (*)(std::wstring_view directory);

// DeleteTree, calling `entered` inside each directory it walks: a test acts there while the
// directory is held, as another program could.
[[nodiscard]] bool DeleteTreeForTesting(std::string_view path, DirectoryEnteredHook entered);

}  // namespace fs
