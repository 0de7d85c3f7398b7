#pragma once
// What the tests of the whole removal reach beyond the product's interface.

#include <string>

#include "fs/whole_removal.h"
#include "runtime/file_find.h"

namespace fs {

// The most handles the removal holds at once, however many files the tree has.
inline constexpr int kWholeRemovalHandleBoundForTesting = 2;

// RemoveTreeWhole, making its file calls and waits through `api`: a test stands in for Windows
// where Wine differs (long paths, the rename of a directory with open files below, file IDs on
// FAT), counts handles, or lets the waits pass at once.
[[nodiscard]] RemovalReport RemoveTreeWholeForTesting(const std::wstring& path,
                                                      runtime::Progress* progress,
                                                      const runtime::FileApi& api,
                                                      const RemovalReport* before = nullptr);

}  // namespace fs
