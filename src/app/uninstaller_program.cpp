#include "app/uninstaller_program.h"

#include <Bra.h>
#include <LzmaDec.h>

#include <cstdlib>

// Defined by uninstaller_record.S; the assembler names are used as they are, without the C prefix.
extern const std::uint8_t kUninstaller[] __asm__("veltrane_uninstaller");
extern const std::uint8_t kUninstallerEnd[] __asm__("veltrane_uninstaller_end");

namespace app {

namespace {

// The packed record: the unpacked length, the LZMA properties, then the stream of the program with
// its x86 branch targets made absolute.
constexpr std::size_t kLengthBytes = 4;
constexpr std::size_t kStreamAt = kLengthBytes + LZMA_PROPS_SIZE;

runtime::ByteView Packed() { return runtime::ByteView(kUninstaller, kUninstallerEnd); }

// The decoder's tables, taken from and given back to the C heap.
void* Allocate(ISzAllocPtr, std::size_t size) { return std::malloc(size); }
void Release(ISzAllocPtr, void* address) { std::free(address); }
constexpr ISzAlloc kHeap{&Allocate, &Release};

}  // namespace

std::uint64_t UninstallerProgramSize() { return runtime::ReadLittleEndian32(Packed()); }

bool UnpackUninstallerProgram(runtime::Bytes& program) {
  const runtime::ByteView packed = Packed();
  if (packed.size() < kStreamAt) return false;
  runtime::Bytes unpacked(UninstallerProgramSize());
  SizeT unpackedSize = unpacked.size();
  SizeT streamSize = packed.size() - kStreamAt;
  ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
  const SRes result =
      LzmaDecode(unpacked.data(), &unpackedSize, packed.data() + kStreamAt, &streamSize,
                 packed.data() + kLengthBytes, LZMA_PROPS_SIZE, LZMA_FINISH_END, &status, &kHeap);
  // The packer ends its stream with the end mark, right after the last byte.
  if (result != SZ_OK || status != LZMA_STATUS_FINISHED_WITH_MARK ||
      unpackedSize != unpacked.size()) {
    return false;
  }
  UInt32 state = Z7_BRANCH_CONV_ST_X86_STATE_INIT_VAL;
  (void)Z7_BRANCH_CONV_ST_DEC(X86)(unpacked.data(), unpacked.size(), 0, &state);
  program.swap(unpacked);
  return true;
}

}  // namespace app
