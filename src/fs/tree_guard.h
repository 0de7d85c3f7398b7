#pragma once
// The decisions behind removing a directory tree, kept free of the file system: which paths may be
// removed at all, and what the walk does with each entry its search reports.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace fs {

// Attribute bits of a search's find data that the walk reads (same values as the Win32 ones).
inline constexpr std::uint32_t kAttributeReadOnly = 0x1;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeReparsePoint = 0x400;

enum class TreeEntryAction {
  kSkip,        // "." / ".." / an empty name
  kDescend,     // an ordinary directory: empty it, then remove it
  kRemoveLink,  // a junction or directory symbolic link: remove the link, never what it points to
  kDeleteFile,  // anything else, file links included
};

// True for a directory entry that is a link (junction or symbolic link) to another directory.
[[nodiscard]] bool IsDirectoryLink(std::uint32_t attributes);

// What the tree walk does with one entry, judged on its name and attribute word alone.
[[nodiscard]] TreeEntryAction ActionForEntry(std::wstring_view name, std::uint32_t attributes);

// An absolute path in one comparable spelling: backslashes only, no empty, "." or ".." parts, no
// trailing dots or blanks on a part, ASCII letters upper-cased, no trailing backslash.
struct NormalizedPath {
  std::wstring text;       // "C:" or "\\SERVER\SHARE", then "\PART" for each part
  std::size_t rootLength;  // length of the drive or share root at the start of `text`
};

// The comparable spelling of a drive path ("X:\...") or share path ("\\server\share..."), also
// behind a "\\?\" or "\\?\UNC\" prefix; nullopt for relative, drive-relative and device paths.
[[nodiscard]] std::optional<NormalizedPath> NormalizeAbsolutePath(std::wstring_view path);

// True when a tree may be removed at `path`: it is absolute, not a drive or share root, and
// neither one of `protectedFolders` nor an ancestor of one. Letters beyond ASCII are compared
// as given; callers fold their case beforehand.
[[nodiscard]] bool IsRemovableTreePath(std::wstring_view path,
                                       std::span<const std::wstring> protectedFolders);

}  // namespace fs
