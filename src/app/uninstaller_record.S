/* The uninstaller exe in the installer's read-only data, packed (cmake/pack_uninstaller.py) and
   taken verbatim with .incbin like the payload. The build places the packed uninstall.exe.lzma on
   the assembler's include path (-Wa,-I). */
        .section .rdata,"dr"
        .p2align 2
        .globl veltrane_uninstaller
        .globl veltrane_uninstaller_end
veltrane_uninstaller:
        .incbin "uninstall.exe.lzma"
veltrane_uninstaller_end:
