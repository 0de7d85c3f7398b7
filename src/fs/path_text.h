#pragma once
// Text work on paths that needs no file system: the drive-path check, the path record's content
// and cutting a wide buffer at its terminator.

#include <string>
#include <string_view>

namespace fs {

// The units of `wide` before its first NUL unit (all of them when there is none).
[[nodiscard]] std::wstring CutAtNul(std::wstring_view wide);

// True when the text starts with an ASCII letter and holds ":\" or ":/" anywhere.
[[nodiscard]] bool IsDrivePath(std::string_view text);

// The bytes of path.dat: the three texts joined by CR LF, with no line break after the third.
[[nodiscard]] std::string PathRecordContent(std::string_view first, std::string_view second,
                                            std::string_view third);

// The third text of path.dat's content: everything after its second CR LF, or empty when it has
// fewer than two.
[[nodiscard]] std::string_view PathRecordRoot(std::string_view content);

}  // namespace fs
