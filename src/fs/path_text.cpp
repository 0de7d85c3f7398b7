#include "fs/path_text.h"

namespace fs {

std::wstring CutAtNul(std::wstring_view wide) {
  return std::wstring(wide.substr(0, wide.find(L'\0')));
}

bool IsDrivePath(std::string_view text) {
  if (text.empty()) return false;
  char first = text.front();
  if (first >= 'a' && first <= 'z') first = static_cast<char>(first - 'a' + 'A');
  if (first < 'A' || first > 'Z') return false;
  // A colon is never the trail byte of a GBK character, so a byte search finds only real pairs.
  return text.find(":\\") != std::string_view::npos || text.find(":/") != std::string_view::npos;
}

namespace {

constexpr std::string_view kLineBreak = "\r\n";

}  // namespace

std::string PathRecordContent(std::string_view first, std::string_view second,
                              std::string_view third) {
  std::string content;
  content.reserve(first.size() + second.size() + third.size() + 2 * kLineBreak.size());
  content.append(first).append(kLineBreak).append(second).append(kLineBreak).append(third);
  return content;
}

std::string_view PathRecordRoot(std::string_view content) {
  // CR and LF are never the trail byte of a GBK character: a byte search finds only real breaks.
  const std::size_t first = content.find(kLineBreak);
  if (first == std::string_view::npos) return {};
  const std::size_t second = content.find(kLineBreak, first + kLineBreak.size());
  if (second == std::string_view::npos) return {};
  return content.substr(second + kLineBreak.size());
}

}  // namespace fs
