#pragma once
// Registry value records and the byte and text work behind the registry writers and readers,
// kept free of Win32 so it can be checked natively.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/bytes.h"

namespace registry {

// One value as read or listed: its name (ReadValue puts the key path here), its data bytes
// (none when the value holds none) and its registry type code (REG_SZ = 1 and so on).
struct RegistryValue {
  std::string name;
  std::optional<runtime::Bytes> data;
  std::int32_t type = 0;

  bool operator==(const RegistryValue&) const = default;
};

// Display name of a registry type code: "REG_SZ" for 1 through "REG_QWORD" for 11, "NULL" for 9
// and 10, and "键值非法" for every code outside 1 to 11.
[[nodiscard]] std::string TypeName(std::int32_t code);

// The rightmost 16 hexadecimal digits of the text as a number; every other character is skipped,
// so a text without any digit gives 0.
[[nodiscard]] std::uint64_t ParseHex64(std::string_view text);

// Bytes of a hexadecimal text, least significant first: pairs of characters are taken from the
// end, a lone leading character makes the last byte, and a pair's non-digit characters count as
// nothing. A text of more than 16 characters gives more than 8 bytes.
[[nodiscard]] runtime::Bytes HexTextToBytes(std::string_view text);

// Appends zero bytes until the array holds at least `length` bytes; a longer array stays as it is.
void PadBytes(runtime::Bytes& bytes, std::size_t length);

}  // namespace registry
