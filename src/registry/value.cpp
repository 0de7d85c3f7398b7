#include "registry/value.h"

#include <array>

namespace registry {

namespace {

// Value of one hexadecimal digit, or nothing for any other character.
std::optional<std::uint8_t> HexDigit(char character) {
  if (character >= '0' && character <= '9') return static_cast<std::uint8_t>(character - '0');
  if (character >= 'A' && character <= 'F') return static_cast<std::uint8_t>(character - 'A' + 10);
  if (character >= 'a' && character <= 'f') return static_cast<std::uint8_t>(character - 'a' + 10);
  return std::nullopt;
}

}  // namespace

std::string TypeName(std::int32_t code) {
  static constexpr std::array<const char*, 11> kNames = {
      "REG_SZ",   "REG_EXPAND_SZ", "REG_BINARY",        "REG_DWORD", "REG_DWORD_BIG_ENDIAN",
      "REG_LINK", "REG_MULTI_SZ",  "REG_RESOURCE_LIST", "NULL",      "NULL",
      "REG_QWORD"};
  if (code < 1 || code > static_cast<std::int32_t>(kNames.size())) return "键值非法";
  return kNames[static_cast<std::size_t>(code - 1)];
}

std::uint64_t ParseHex64(std::string_view text) {
  constexpr int kMaxDigits = 16;
  std::uint64_t number = 0;
  int digits = 0;
  for (auto it = text.rbegin(); it != text.rend() && digits < kMaxDigits; ++it) {
    if (const auto digit = HexDigit(*it)) {
      number |= std::uint64_t{*digit} << (4 * digits);
      ++digits;
    }
  }
  return number;
}

runtime::Bytes HexTextToBytes(std::string_view text) {
  runtime::Bytes bytes;
  for (std::size_t end = text.size(); end > 0; end = end >= 2 ? end - 2 : 0) {
    const std::size_t begin = end >= 2 ? end - 2 : 0;
    bytes.push_back(static_cast<std::uint8_t>(ParseHex64(text.substr(begin, end - begin))));
  }
  return bytes;
}

void PadBytes(runtime::Bytes& bytes, std::size_t length) {
  if (bytes.size() < length) bytes.resize(length, 0);
}

}  // namespace registry
