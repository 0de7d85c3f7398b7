#include "fs/tree_guard.h"

#include <vector>

namespace fs {

namespace {

constexpr std::wstring_view kVerbatimPrefix = L"\\\\?\\";
constexpr std::wstring_view kVerbatimSharePrefix = L"UNC\\";

wchar_t UpperAscii(wchar_t unit) {
  return (unit >= L'a' && unit <= L'z') ? static_cast<wchar_t>(unit - L'a' + L'A') : unit;
}

bool IsAsciiLetter(wchar_t unit) { return UpperAscii(unit) >= L'A' && UpperAscii(unit) <= L'Z'; }

// Splits at backslashes, dropping the empty parts that doubled separators leave.
std::vector<std::wstring_view> SplitParts(std::wstring_view text) {
  std::vector<std::wstring_view> parts;
  while (!text.empty()) {
    const std::size_t end = text.find(L'\\');
    const std::wstring_view part = text.substr(0, end);
    if (!part.empty()) parts.push_back(part);
    if (end == std::wstring_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return parts;
}

// Windows ignores trailing dots and blanks of a name ("Windows." is "Windows").
std::wstring_view WithoutTrailingDotsAndBlanks(std::wstring_view part) {
  const std::size_t last = part.find_last_not_of(L". ");
  return last == std::wstring_view::npos ? std::wstring_view{} : part.substr(0, last + 1);
}

}  // namespace

bool IsDirectoryLink(std::uint32_t attributes) {
  return (attributes & kAttributeDirectory) != 0 && (attributes & kAttributeReparsePoint) != 0;
}

TreeEntryAction ActionForEntry(std::wstring_view name, std::uint32_t attributes) {
  if (name.empty() || name == L"." || name == L"..") return TreeEntryAction::kSkip;
  if (IsDirectoryLink(attributes)) return TreeEntryAction::kRemoveLink;
  if ((attributes & kAttributeDirectory) != 0) return TreeEntryAction::kDescend;
  return TreeEntryAction::kDeleteFile;
}

std::optional<NormalizedPath> NormalizeAbsolutePath(std::wstring_view path) {
  std::wstring text(path);
  for (wchar_t& unit : text) {
    if (unit == L'/') unit = L'\\';
  }
  std::wstring_view rest = text;
  bool share = false;
  if (rest.starts_with(kVerbatimPrefix)) {
    rest.remove_prefix(kVerbatimPrefix.size());
    share = rest.starts_with(kVerbatimSharePrefix);
    if (share) rest.remove_prefix(kVerbatimSharePrefix.size());
  } else if (rest.starts_with(L"\\\\")) {
    share = true;
    rest.remove_prefix(2);
  }

  std::vector<std::wstring_view> parts;
  NormalizedPath result;
  if (share) {
    parts = SplitParts(rest);
    if (parts.size() < 2) return std::nullopt;
    // "\\.\" and "\\?\" name devices, not shares.
    if (parts[0] == L"." || parts[0] == L"?") return std::nullopt;
    result.text = L"\\\\" + std::wstring(parts[0]) + L"\\" + std::wstring(parts[1]);
    parts.erase(parts.begin(), parts.begin() + 2);
  } else {
    if (rest.size() < 3 || !IsAsciiLetter(rest[0]) || rest[1] != L':' || rest[2] != L'\\') {
      return std::nullopt;
    }
    result.text = rest.substr(0, 2);
    parts = SplitParts(rest.substr(3));
  }
  result.rootLength = result.text.size();

  std::vector<std::wstring_view> kept;
  for (std::wstring_view part : parts) {
    if (part == L".") continue;
    if (part == L"..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    const std::wstring_view name = WithoutTrailingDotsAndBlanks(part);
    // A part of dots and blanks only names no directory of its own: refuse rather than guess.
    if (name.empty()) return std::nullopt;
    kept.push_back(name);
  }
  for (std::wstring_view name : kept) result.text.append(L"\\").append(name);
  for (wchar_t& unit : result.text) unit = UpperAscii(unit);
  return result;
}

bool IsRemovableTreePath(std::wstring_view path, std::span<const std::wstring> protectedFolders) {
  const std::optional<NormalizedPath> candidate = NormalizeAbsolutePath(path);
  if (!candidate || candidate->text.size() == candidate->rootLength) return false;
  const std::wstring asAncestor = candidate->text + L'\\';
  for (const std::wstring& folder : protectedFolders) {
    const std::optional<NormalizedPath> kept = NormalizeAbsolutePath(folder);
    if (!kept) continue;
    if (kept->text == candidate->text || kept->text.starts_with(asAncestor)) return false;
  }
  return true;
}

}  // namespace fs
