/* The payload record in the exe's read-only data: marker 1, the archive's length, the archive.
   The assembler takes the archive file verbatim with .incbin, so a multi-megabyte payload costs
   no compile time (a generated C++ array of that size would). The record has a read-only section
   of its own, ".payload" (flags "dr"), which the build places at a page-aligned file offset after
   linking: Windows and Wine then map it from the exe file instead of reading it into private
   memory. The build checks the archive and places it as brisel.7z on the assembler's include path
   (-Wa,-I), with the facts it read from the archive's bytes and listing beside it. */
        .include "brisel.facts.inc"

        .section .payload,"dr"
        .p2align 2
        .globl veltrane_payload_record
        .globl veltrane_payload_record_end
veltrane_payload_record:
        .long 1
        .long archive_end - archive_start
archive_start:
        .incbin "brisel.7z"
archive_end:
veltrane_payload_record_end:

        .section .rdata,"dr"
        .p2align 3
        .globl veltrane_payload_unpacked_size
veltrane_payload_unpacked_size:
        .quad payload_unpacked_size

/* The archive's CRC-32 as the build computed it from the bytes it embedded, for the installer to
   tell a damaged copy of itself before it touches anything. */
        .p2align 2
        .globl veltrane_payload_crc32
veltrane_payload_crc32:
        .long payload_crc32

/* Every file of the archive that has bytes, in the order 7-Zip writes them: its size, then its
   path below the install root. */
        .globl veltrane_payload_files
        .globl veltrane_payload_files_end
veltrane_payload_files:
        payload_files
veltrane_payload_files_end:
