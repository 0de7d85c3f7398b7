// Invariants of the GBK-aware search and replace and of the raw byte search, on arbitrary bytes.
// Input layout: byte 0 picks start and the case flag, byte 1 the sought text's length, then the
// sought text, then the searched text.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/text.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// Indices where characters begin when the text is read from its start.
std::vector<bool> CharacterStarts(std::string_view text) {
  std::vector<bool> starts(text.size(), false);
  for (std::size_t i = 0; i < text.size();) {
    starts[i] = true;
    i += (static_cast<unsigned char>(text[i]) & 0x80) && i + 1 < text.size() ? 2 : 1;
  }
  return starts;
}

void CheckFindText(std::string_view text, std::string_view sought, int start) {
  const int found = runtime::FindText(text, sought, start);
  if (sought.empty()) return;
  const std::vector<bool> starts = CharacterStarts(text);
  const std::size_t begin = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
  // The result is the first raw occurrence from begin on that starts a character.
  int expected = -1;
  for (std::size_t at = text.find(sought, begin); at != std::string_view::npos;
       at = text.find(sought, at + 1)) {
    if (starts[at]) {
      expected = static_cast<int>(at) + 1;
      break;
    }
  }
  Require(found == expected);

  const int last = runtime::FindTextBackwards(text, sought);
  Require((last == -1) == (runtime::FindText(text, sought) == -1));
  if (last != -1) {
    Require(starts[last - 1] && text.substr(last - 1, sought.size()) == sought);
    Require(runtime::FindText(text, sought, last + 1) == -1);
  }
}

void CheckIgnoreCase(std::string_view text, std::string_view sought, int start) {
  // Folding to upper or to lower case must agree.
  Require(runtime::FindText(text, sought, start, true) ==
          runtime::FindText(runtime::ToUpper(text), runtime::ToUpper(sought), start));
  Require(runtime::FindTextBackwards(text, sought, runtime::kTextEnd, true) ==
          runtime::FindTextBackwards(runtime::ToUpper(text), runtime::ToUpper(sought)));
}

void CheckReplaceText(std::string_view text, std::string_view sought, int start) {
  Require(runtime::ReplaceText(text, sought, sought, start) == text);
  Require(runtime::ReplaceText(text, sought, "x", start, 0) == text);
  if (text.empty() || sought.empty()) return;
  // One replacement puts the replacement exactly where FindText finds the first match.
  const std::string once = runtime::ReplaceText(text, sought, "\x01", start, 1);
  const int found = runtime::FindText(text, sought, start);
  if (found == -1) {
    Require(once == text);
  } else {
    const auto at = static_cast<std::size_t>(found - 1);
    Require(once == std::string(text.substr(0, at)) + "\x01" +
                        std::string(text.substr(at + sought.size())));
  }
  // Removing every match shortens the text by whole sought texts and keeps what precedes start.
  const std::string removed = runtime::ReplaceText(text, sought, "", start);
  Require(removed.size() <= text.size() && (text.size() - removed.size()) % sought.size() == 0);
  const std::size_t kept = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
  Require(removed.substr(0, kept) == text.substr(0, kept));
}

void CheckFindBytes(std::string_view text, std::string_view sought, int start) {
  const runtime::Bytes bytes = runtime::ToBytes(text);
  const runtime::Bytes soughtBytes = runtime::ToBytes(sought);
  const int found = runtime::FindBytes(bytes, soughtBytes, start);
  const int last = runtime::FindBytesBackwards(bytes, soughtBytes, start);
  if (sought.empty()) {
    Require(found == -1 && last == -1);
    return;
  }
  const std::size_t begin = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
  const std::size_t first = text.find(sought, begin);
  Require(found == (first == std::string_view::npos ? -1 : static_cast<int>(first) + 1));
  const std::size_t limit = start < 0 ? text.size() : std::min<std::size_t>(start, text.size());
  const std::size_t final = text.substr(0, limit).rfind(sought);
  Require(last == (final == std::string_view::npos ? -1 : static_cast<int>(final) + 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int start = static_cast<int>(data[0] & 0x3f) - 2;
  const std::size_t soughtSize = std::min<std::size_t>(data[1] & 0x07, size - 2);
  const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::string_view sought = rest.substr(0, soughtSize);
  const std::string_view text = rest.substr(soughtSize);
  CheckFindText(text, sought, start);
  CheckIgnoreCase(text, sought, start);
  CheckReplaceText(text, sought, start);
  CheckFindBytes(text, sought, start);
  return 0;
}
