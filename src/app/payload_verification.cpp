#include "app/payload_verification.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "runtime/bytes.h"
#include "runtime/crc32.h"
#include "runtime/payload.h"
#include "runtime/scoped_handle.h"

namespace app {

namespace {

// The archive is read in pieces of this size, so that the progress moves several times a second
// even on a slow machine, at no measurable cost to the checksum.
constexpr std::size_t kPieceSize = 1024 * 1024;
// The check needs little stack: reserving 64 KiB instead of the default megabyte leaves the address
// space to a 32-bit image that may hold 1.7 GB of payload.
constexpr SIZE_T kWorkerStackSize = 64 * 1024;

runtime::Progress g_progress;
std::atomic<bool> g_intact{false};
// The worker; no handle when the check ran on the starting thread. Set before any other thread
// asks for the result, then only read.
runtime::ScopedHandle g_worker;

// Reads the archive where it is mapped in the image: no copy of it, so no private memory, only
// pages of the exe file itself.
DWORD WINAPI VerifyPayload(void*) {
  const runtime::ByteView archive = runtime::PayloadArchive();
  std::uint32_t crc = runtime::kCrc32OfNothing;
  for (std::size_t at = 0; at < archive.size();) {
    const runtime::ByteView piece = archive.subspan(at, std::min(kPieceSize, archive.size() - at));
    crc = runtime::UpdateCrc32(crc, piece);
    at += piece.size();
    g_progress.done.store(at, std::memory_order_relaxed);
  }
  g_intact.store(crc == runtime::PayloadChecksum(), std::memory_order_release);
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

bool AwaitIntactPayload() {
  // A thread's handle stays signalled once it has ended: later waits return at once.
  if (g_worker.Valid()) {
    // Someone waits now: the check goes on at normal priority, not behind other programs.
    (void)SetThreadPriority(g_worker.Get(), THREAD_PRIORITY_NORMAL);
    WaitForSingleObject(g_worker.Get(), INFINITE);
  }
  return g_intact.load(std::memory_order_acquire);
}

}  // namespace app
