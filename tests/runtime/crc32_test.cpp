// The payload's checksum function against published CRC-32 values, fed whole and in pieces.
#include "runtime/crc32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace runtime {
namespace {

ByteView BytesOf(std::string_view text) {
  return ByteView(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(Crc32, MatchesThePublishedValues) {
  // The check value of the CRC-32 catalogue, short texts below one 8-byte step, and long runs.
  EXPECT_EQ(UpdateCrc32(kCrc32OfNothing, BytesOf("123456789")), 0xCBF43926u);
  EXPECT_EQ(UpdateCrc32(kCrc32OfNothing, {}), 0u);
  EXPECT_EQ(UpdateCrc32(kCrc32OfNothing, BytesOf("a")), 0xE8B7BE43u);
  EXPECT_EQ(UpdateCrc32(kCrc32OfNothing, BytesOf("The quick brown fox jumps over the lazy dog")),
            0x414FA339u);
  EXPECT_EQ(UpdateCrc32(kCrc32OfNothing, std::vector<std::uint8_t>(32, 0x00)), 0x190A55ADu);
  EXPECT_EQ(UpdateCrc32(kCrc32OfNothing, std::vector<std::uint8_t>(32, 0xFF)), 0xFF6CAB0Bu);
}

TEST(Crc32, PiecesAtAnySplitAndAlignmentGiveTheWholeRunsValue) {
  std::vector<std::uint8_t> run(1000);
  std::uint32_t state = 1;
  for (std::uint8_t& byte : run) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(state >> 16);
  }
  const std::uint32_t whole = UpdateCrc32(kCrc32OfNothing, run);
  // Splits that start the second piece at every alignment of the 8-byte steps.
  for (std::size_t split = 0; split <= 17; ++split) {
    SCOPED_TRACE(split);
    const ByteView all(run);
    EXPECT_EQ(UpdateCrc32(UpdateCrc32(kCrc32OfNothing, all.first(split)), all.subspan(split)),
              whole);
  }
  std::uint32_t byByte = kCrc32OfNothing;
  for (std::size_t at = 0; at < run.size(); ++at) {
    byByte = UpdateCrc32(byByte, ByteView(run).subspan(at, 1));
  }
  EXPECT_EQ(byByte, whole);
  // One flipped bit anywhere changes it.
  run[run.size() / 2] ^= 0x10;
  EXPECT_NE(UpdateCrc32(kCrc32OfNothing, run), whole);
}

}  // namespace
}  // namespace runtime
