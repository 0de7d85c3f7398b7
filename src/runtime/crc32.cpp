#include "runtime/crc32.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace runtime {

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320;
constexpr std::uint32_t kAllBits = 0xFFFFFFFF;
constexpr std::size_t kByteValues = 256;
constexpr unsigned kBitsPerByte = 8;
// Slicing-by-8: eight bytes per step through eight tables, where one table takes a byte per step.
// A gigabyte then costs well under a second instead of a few.
constexpr std::size_t kSlices = 8;
constexpr std::uint32_t kLowByte = 0xFF;

using Table = std::array<std::uint32_t, kByteValues>;

// Table 0 is the classic one: the CRC of each byte value alone. Table k advances table k-1's
// value over one more zero byte, so that eight bytes fold in at once. Not constexpr: the tables
// are made as the program starts, before any thread, instead of taking 8 KiB of the installer's
// file.
std::array<Table, kSlices> MakeTables() {
  std::array<Table, kSlices> tables{};
  for (std::uint32_t value = 0; value < kByteValues; ++value) {
    std::uint32_t crc = value;
    for (unsigned bit = 0; bit < kBitsPerByte; ++bit) {
      crc = (crc >> 1) ^ ((crc & 1) != 0 ? kPolynomial : 0);
    }
    tables[0][value] = crc;
  }
  for (std::size_t slice = 1; slice < kSlices; ++slice) {
    for (std::size_t value = 0; value < kByteValues; ++value) {
      const std::uint32_t previous = tables[slice - 1][value];
      tables[slice][value] = (previous >> kBitsPerByte) ^ tables[0][previous & kLowByte];
    }
  }
  return tables;
}

const std::array<Table, kSlices> kTables = MakeTables();

// One byte into a running (inverted) CRC.
std::uint32_t StepByte(std::uint32_t crc, std::uint8_t byte) {
  return (crc >> kBitsPerByte) ^ kTables[0][(crc ^ byte) & kLowByte];
}

// The table entry for `byte` of the 32-bit word `word` (0 the lowest), seen through `slice`.
std::uint32_t Slice(std::size_t slice, std::uint32_t word, unsigned byte) {
  return kTables[slice][(word >> (byte * kBitsPerByte)) & kLowByte];
}

}  // namespace

std::uint32_t UpdateCrc32(std::uint32_t crc, ByteView bytes) {
  crc ^= kAllBits;
  const std::uint8_t* at = bytes.data();
  std::size_t left = bytes.size();
  for (; left >= kSlices; left -= kSlices, at += kSlices) {
    // The step's two words, assembled byte by byte: any alignment, any byte order, and the
    // compiler makes one load of each.
    const std::uint32_t low = crc ^ ReadLittleEndian32(ByteView(at, sizeof(std::uint32_t)));
    const std::uint32_t high =
        ReadLittleEndian32(ByteView(at + sizeof(std::uint32_t), sizeof(std::uint32_t)));
    // The byte n places before the step's last goes through table n. Spelt out: a loop over the
    // bytes, which a build for size leaves rolled, halves the speed.
    crc = Slice(7, low, 0) ^ Slice(6, low, 1) ^ Slice(5, low, 2) ^ Slice(4, low, 3) ^
          Slice(3, high, 0) ^ Slice(2, high, 1) ^ Slice(1, high, 2) ^ Slice(0, high, 3);
  }
  for (; left > 0; --left, ++at) crc = StepByte(crc, *at);
  return crc ^ kAllBits;
}

}  // namespace runtime
