#pragma once
// Refusals that last a moment. Microsoft Defender, the search indexer, Explorer's thumbnails and
// cloud-sync clients open a file for a few milliseconds, and meanwhile Windows refuses to delete
// it, or to rename a folder above it. So a removal tries such an entry again, waiting a little
// longer each time, out of one budget for the whole removal: an entry held for good costs the
// removal that budget once, not once for each of its files.

#include <windows.h>

#include <string>

namespace fs {

// The most a removal waits in all, and its first wait; each wait after is twice the one before.
inline constexpr DWORD kRetryBudgetMilliseconds = 2000;
inline constexpr DWORD kFirstRetryWaitMilliseconds = 10;

// True for a refusal that may pass by itself: someone holds the entry open, or has it pending
// deletion.
[[nodiscard]] bool MayPass(DWORD error);

class RetryBudget {
 public:
  explicit RetryBudget(decltype(&::Sleep) sleep) : sleep_(sleep) {}
  RetryBudget(const RetryBudget&) = delete;
  RetryBudget& operator=(const RetryBudget&) = delete;

  // Calls `attempt` (true when it succeeded, the last error set when not) until it succeeds, is
  // refused in a way that does not pass (MayPass), or the budget is spent. An entry that took more
  // than one attempt is logged once: its path, the attempts and the last refusal. False with the
  // last refusal as the last error.
  template <typename Attempt>
  [[nodiscard]] bool Persist(const std::wstring& entry, Attempt attempt) {
    int attempts = 1;
    DWORD refusal = 0;
    for (;; ++attempts) {
      if (attempt()) break;
      refusal = GetLastError();
      if (!MayPass(refusal) || !Wait(attempts)) {
        LogAttempts(entry, attempts, refusal);
        SetLastError(refusal);
        return false;
      }
    }
    LogAttempts(entry, attempts, refusal);
    return true;
  }

 private:
  // Waits before the attempt after `attempts` refused ones; false, without waiting, once the
  // budget is spent.
  [[nodiscard]] bool Wait(int attempts);
  // Logs "retried <path>: <attempts> attempts, last error <refusal>" when there was more than one.
  static void LogAttempts(const std::wstring& entry, int attempts, DWORD refusal);

  decltype(&::Sleep) const sleep_;
  DWORD left_ = kRetryBudgetMilliseconds;
};

}  // namespace fs
