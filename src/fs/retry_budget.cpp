#include "fs/retry_budget.h"

#include <algorithm>

#include "runtime/gbk.h"
#include "runtime/log_format.h"
#include "runtime/long_path.h"
#include "runtime/run_log.h"

namespace fs {

bool MayPass(DWORD error) {
  switch (error) {
    case ERROR_SHARING_VIOLATION:  // opened by another without the sharing asked for
    case ERROR_LOCK_VIOLATION:
    case ERROR_ACCESS_DENIED:   // mapped, or a folder with something open below it
    case ERROR_DIR_NOT_EMPTY:   // what was deleted below is still held open by another
    case ERROR_DELETE_PENDING:  // deleted, and still held open by another
      return true;
    default:
      return false;
  }
}

bool RetryBudget::Wait(int attempts) {
  if (left_ == 0) return false;
  // Doubled per attempt, with the shift bounded so that it never runs past the word.
  constexpr int kMostDoublings = 16;
  const DWORD wait =
      std::min(kFirstRetryWaitMilliseconds << std::min(attempts - 1, kMostDoublings), left_);
  sleep_(wait);
  left_ -= wait;
  return true;
}

void RetryBudget::LogAttempts(const std::wstring& entry, int attempts, DWORD refusal) {
  if (attempts <= 1) return;
  runtime::Log(L"retried " + runtime::WithoutExtendedPrefix(entry) +
               runtime::GbkToWide(": " +
                                  runtime::DecimalText(static_cast<std::uint64_t>(attempts)) +
                                  " attempts, last error " + runtime::DecimalText(refusal)));
}

}  // namespace fs
