#pragma once
// The image's file as a seam: the read failures of a failing medium cannot be made under Wine, so
// the tests hand in a file that fails the same way.

#include <string>

#include "runtime/image_file.h"

namespace runtime {

// ReadFromImageFile, reading from `file` in place of the module's own file.
[[nodiscard]] ImageReadReport ReadFromImageFileForTesting(const std::wstring& file,
                                                          ByteView inImage,
                                                          bool (*take)(ByteView, void*),
                                                          void* context);

}  // namespace runtime
