/* The uninstaller exe in the installer's read-only data, taken verbatim with .incbin like the
   payload, so that it is mapped from the installer's file and never copied. The build places the
   linked uninstall.exe on the assembler's include path (-Wa,-I). */
        .section .rdata,"dr"
        .p2align 2
        .globl veltrane_uninstaller
        .globl veltrane_uninstaller_end
veltrane_uninstaller:
        .incbin "uninstall.exe"
veltrane_uninstaller_end:
