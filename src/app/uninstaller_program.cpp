#include "app/uninstaller_program.h"

#include <cstdint>

// Defined by uninstaller_record.S; the assembler names are used as they are, without the C prefix.
extern const std::uint8_t kUninstaller[] __asm__("veltrane_uninstaller");
extern const std::uint8_t kUninstallerEnd[] __asm__("veltrane_uninstaller_end");

namespace app {

runtime::ByteView UninstallerProgram() { return runtime::ByteView(kUninstaller, kUninstallerEnd); }

}  // namespace app
