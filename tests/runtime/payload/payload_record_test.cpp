// How the payload record's 8-byte head delimits the archive bytes.
#include "runtime/payload_record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using runtime::ArchiveInRecord;
using runtime::ByteView;

TEST(PayloadRecordLayout, ArchiveIsTheLengthFieldsBytesAfterTheHeadViewedInPlace) {
  const std::vector<std::uint8_t> record = {0x01, 0x00, 0x00, 0x00, 0x03, 0x00,
                                            0x00, 0x00, 0x37, 0x7A, 0xBC};
  const ByteView archive = ArchiveInRecord(record);
  ASSERT_EQ(archive.size(), 3u);
  EXPECT_EQ(archive.data(), record.data() + 8);  // no copy
  EXPECT_EQ(archive[0], 0x37);
  EXPECT_EQ(archive[2], 0xBC);
}

TEST(PayloadRecordLayout, LengthIsLittleEndianAndBytesBeyondItAreNotPartOfTheArchive) {
  std::vector<std::uint8_t> record = {0x01, 0x00, 0x00, 0x00, 0x02, 0x01, 0x00, 0x00};
  record.resize(8 + 0x0102 + 5, 0xAA);
  EXPECT_EQ(ArchiveInRecord(record).size(), 0x0102u);
}

TEST(PayloadRecordLayout, AnEmptyArchiveIsAValidRecord) {
  const std::vector<std::uint8_t> record = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  EXPECT_TRUE(ArchiveInRecord(record).empty());
}

TEST(PayloadRecordLayout, RejectsAWrongMarkerAShortHeadAndALengthPastTheEnd) {
  const std::vector<std::uint8_t> wrongMarker = {0x02, 0x00, 0x00, 0x00, 0x01,
                                                 0x00, 0x00, 0x00, 0x37};
  EXPECT_TRUE(ArchiveInRecord(wrongMarker).empty());
  // A marker of 1 read big-endian is not the marker.
  const std::vector<std::uint8_t> bigEndianMarker = {0x00, 0x00, 0x00, 0x01, 0x01,
                                                     0x00, 0x00, 0x00, 0x37};
  EXPECT_TRUE(ArchiveInRecord(bigEndianMarker).empty());
  const std::vector<std::uint8_t> shortHead = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  EXPECT_TRUE(ArchiveInRecord(shortHead).empty());
  EXPECT_TRUE(ArchiveInRecord({}).empty());
  const std::vector<std::uint8_t> lengthPastEnd = {0x01, 0x00, 0x00, 0x00, 0x02,
                                                   0x00, 0x00, 0x00, 0x37};
  EXPECT_TRUE(ArchiveInRecord(lengthPastEnd).empty());
  const std::vector<std::uint8_t> hugeLength = {0x01, 0x00, 0x00, 0x00, 0xFF,
                                                0xFF, 0xFF, 0xFF, 0x37};
  EXPECT_TRUE(ArchiveInRecord(hugeLength).empty());
}

}  // namespace
