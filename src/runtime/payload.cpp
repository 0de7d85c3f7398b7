#include "runtime/payload.h"

#include <cstdint>

#include "runtime/payload_record.h"

// Defined by payload_record.S; the assembler names are used as they are, without the C prefix.
extern const std::uint8_t kPayloadRecord[] __asm__("veltrane_payload_record");
extern const std::uint8_t kPayloadRecordEnd[] __asm__("veltrane_payload_record_end");
extern const std::uint32_t kPayloadChecksum __asm__("veltrane_payload_crc32");
extern const std::uint64_t kPayloadUnpackedSize __asm__("veltrane_payload_unpacked_size");
extern const std::uint8_t kPayloadFiles[] __asm__("veltrane_payload_files");
extern const std::uint8_t kPayloadFilesEnd[] __asm__("veltrane_payload_files_end");

namespace runtime {

ByteView PayloadArchive() { return ArchiveInRecord(ByteView(kPayloadRecord, kPayloadRecordEnd)); }

std::uint32_t PayloadChecksum() { return kPayloadChecksum; }

std::uint64_t PayloadUnpackedSize() { return kPayloadUnpackedSize; }

ByteView PayloadFileTable() { return ByteView(kPayloadFiles, kPayloadFilesEnd); }

}  // namespace runtime
