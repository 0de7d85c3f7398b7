#include "app/payload_verification.h"

#include <atomic>
#include <cstdint>

#include "runtime/bytes.h"
#include "runtime/crc32.h"
#include "runtime/image_file.h"
#include "runtime/payload.h"
#include "runtime/scoped_handle.h"

namespace app {

namespace {

// The check needs little stack beside its read buffer on the heap: reserving 64 KiB instead of the
// default megabyte leaves the address space to a 32-bit image that may hold 1.7 GB of payload.
constexpr SIZE_T kWorkerStackSize = 64 * 1024;

runtime::Progress g_progress;
// The worker publishes what it came to with release, the waiting thread reads it with acquire.
std::atomic<PayloadCheck> g_result{PayloadCheck::kDamaged};
std::atomic<unsigned long> g_readError{0};
// The worker; no handle when the check ran on the starting thread. Set before any other thread
// asks for the result, then only read.
runtime::ScopedHandle g_worker;

// Reads the archive through the installer's file, once: a medium that fails gives an error value
// here, where a read of the mapped image would end the process.
DWORD WINAPI VerifyPayload(void*) {
  std::uint32_t crc = runtime::kCrc32OfNothing;
  const auto sum = [&crc](runtime::ByteView piece) {
    crc = runtime::UpdateCrc32(crc, piece);
    g_progress.done.fetch_add(piece.size(), std::memory_order_relaxed);
    return true;
  };
  const runtime::ImageReadReport read = runtime::ReadFromImageFile(runtime::PayloadArchive(), sum);
  g_readError.store(read.error, std::memory_order_relaxed);
  g_result.store(read.outcome != runtime::ImageRead::kRead ? PayloadCheck::kUnreadable
                 : crc == runtime::PayloadChecksum()       ? PayloadCheck::kIntact
                                                           : PayloadCheck::kDamaged,
                 std::memory_order_release);
  return 0;
}

}  // namespace

void StartPayloadVerification() {
  g_progress.Restart(runtime::PayloadArchive().size());
  g_worker.Reset(CreateThread(nullptr, kWorkerStackSize, &VerifyPayload, nullptr,
                              STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  if (!g_worker.Valid()) {
    VerifyPayload(nullptr);
    return;
  }
  // Behind the window's thread while nobody waits for the result: the window shows as fast as
  // without the check.
  (void)SetThreadPriority(g_worker.Get(), THREAD_PRIORITY_BELOW_NORMAL);
}

const runtime::Progress& PayloadVerificationProgress() { return g_progress; }

HANDLE PayloadVerificationToAwait() {
  // A thread's handle stays signalled once it has ended: later waits return at once.
  if (g_worker.Valid()) (void)SetThreadPriority(g_worker.Get(), THREAD_PRIORITY_NORMAL);
  return g_worker.Get();
}

PayloadCheck PayloadCheckResult() { return g_result.load(std::memory_order_acquire); }

unsigned long PayloadReadError() { return g_readError.load(std::memory_order_relaxed); }

}  // namespace app
