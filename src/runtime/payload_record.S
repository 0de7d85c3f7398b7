/* The payload record in the exe's read-only data: marker 1, the archive's length, the archive.
   The assembler takes the archive file verbatim with .incbin, so a multi-megabyte payload costs
   no compile time (a generated C++ array of that size would), and ".rdata" with flags "dr" puts it
   in the image's read-only section, mapped from the exe file and never copied. The build checks
   the archive and places it as brisel.7z on the assembler's include path (-Wa,-I), with the facts
   it read from the archive's listing beside it. */
        .include "brisel.facts.inc"

        .section .rdata,"dr"
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

        .p2align 3
        .globl veltrane_payload_unpacked_size
veltrane_payload_unpacked_size:
        .quad payload_unpacked_size
