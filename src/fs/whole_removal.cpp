#include "fs/whole_removal.h"

#include <windows.h>

#include <string>
#include <vector>

#include "fs/removal_guard.h"
#include "fs/tree_walk.h"
#include "fs/whole_removal_for_testing.h"
#include "runtime/file_find.h"
#include "runtime/gbk.h"
#include "runtime/log_format.h"
#include "runtime/long_path.h"

namespace fs {

namespace {

using runtime::FileApi;
using runtime::FoundEntry;

// The folder is moved aside beside it, to this name followed by "-<process id>-<time>", before
// anything goes. Every name so begun is the installer's own: what earlier runs left under one goes
// as well.
constexpr std::wstring_view kAsideSuffix = L".veltrane-removal";

// Refusals that mean somebody holds the entry: an open without sharing, a lock, a running image.
// Running out of handles, descriptors or memory is not among them: closing brisel would not help.
bool HeldByAnother(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// This run's aside name for `folder`: no other run's, so that a leftover still held by an earlier
// run never stands in its way.
std::wstring AsideName(const std::wstring& folder) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const std::uint64_t stamp = (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  return folder + std::wstring(kAsideSuffix) +
         runtime::GbkToWide("-" + runtime::DecimalText(GetCurrentProcessId()) + "-" +
                            runtime::DecimalText(stamp));
}

class Removal {
 public:
  Removal(const FileApi& api, runtime::Progress* progress, std::wstring folder)
      : api_(api), progress_(progress), folder_(std::move(folder)) {}

  // Checks the folder, moves it aside and removes it there; the report of how it ended.
  [[nodiscard]] RemovalReport Run();

 private:
  // Run's steps; false where they stopped, with the report filled in.
  [[nodiscard]] bool Steps();
  // Removes what earlier runs left aside, skipping those still held.
  void RemoveEarlierAsides();
  // Records how the removal ended and where it stopped; false, for the caller to return.
  bool Stop(WholeRemoval result, const WalkStop& stop);
  // Stop for a refusal before anything went: in use when someone holds the entry.
  bool Refused(const WalkStop& stop);

  const FileApi& api_;
  runtime::Progress* const progress_;
  const std::wstring folder_;
  RemovalReport report_;
  std::wstring where_;
};

bool Removal::Stop(WholeRemoval result, const WalkStop& stop) {
  report_.result = result;
  report_.error = stop.error;
  where_ = stop.where;
  return false;
}

bool Removal::Refused(const WalkStop& stop) {
  return Stop(HeldByAnother(stop.error) ? WholeRemoval::kInUse : WholeRemoval::kFailed, stop);
}

void Removal::RemoveEarlierAsides() {
  const std::wstring pattern = folder_ + std::wstring(kAsideSuffix);
  const std::wstring parent = folder_.substr(0, folder_.rfind(L'\\') + 1);
  const std::wstring_view prefix = std::wstring_view(pattern).substr(parent.size());
  std::vector<std::wstring> earlier;
  {
    runtime::FileEnumerator listing(pattern + L'*', api_);
    FoundEntry entry;
    while (listing.Next(entry)) {
      if (entry.name.starts_with(prefix)) earlier.push_back(parent + entry.name);
    }
  }
  for (const std::wstring& aside : earlier) {
    TreeWalk walk(api_);
    Identity identity;
    if (walk.Check(aside, identity)) (void)walk.Remove(aside, Leftover::kKept, &identity);
  }
}

bool Removal::Steps() {
  RemoveEarlierAsides();
  TreeWalk walk(api_, progress_);
  const DWORD attributes = api_.getFileAttributes(folder_.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return walk.Handles().Gone(folder_) || Refused({GetLastError(), folder_});
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Stop(WholeRemoval::kRefused, {});
  Identity identity;
  if (!walk.Check(folder_, identity)) return Refused(walk.First());
  const std::wstring aside = AsideName(folder_);
  DWORD error = 0;
  if (!walk.Handles().Move(folder_, identity, aside, error)) {
    if (error != ERROR_ACCESS_DENIED) return Refused({error, folder_});
    // Windows refuses to rename a directory while anything below it is open (an Explorer window
    // on a subfolder: closing it helps), and an ACL or Controlled Folder Access refuses the same
    // way for good. A check that opens every entry unshared tells the two apart.
    TreeWalk strict(api_);
    if (!strict.Check(folder_, identity, kNoSharing)) return Refused(strict.First());
    return Stop(WholeRemoval::kFailed, {error, folder_});
  }
  // Nobody finds the files by their old path any more: a program started from now on cannot take
  // one. One started since the check may hold one still (Wine renames whatever is open below, and
  // Windows keeps no open handle on a running image), so the moved tree is checked once more
  // before anything goes, and goes back under its name if it is held. Now that the files are
  // counted, the bar moves through that check and the removal alike, each file once in each.
  if (progress_ != nullptr) {
    progress_->Restart(2 * progress_->total.load(std::memory_order_relaxed));
  }
  walk.CountAsDone();
  Identity moved;
  if (!walk.Check(aside, moved) || moved != identity) {
    const WalkStop stop =
        walk.First().where.empty() ? WalkStop{kReplacedMeanwhile, aside} : walk.First();
    (void)Refused(stop);
    if (walk.Handles().Move(aside, identity, folder_, error) && where_.starts_with(aside)) {
      where_.replace(0, aside.size(), folder_);
    }
    return false;
  }
  // From the first deletion on there is no whole installation to go back to: what a scanner, an
  // indexer or a backup agent took after the checks is left to the restart, and the folder's
  // place is free all the same.
  if (walk.Remove(aside, Leftover::kScheduled, &identity)) return true;
  if (!walk.Unscheduled().where.empty()) return Stop(WholeRemoval::kFailed, walk.Unscheduled());
  return Stop(WholeRemoval::kRemovedAtRestart, walk.First());
}

RemovalReport Removal::Run() {
  if (progress_ != nullptr) progress_->Restart(0);
  (void)Steps();
  if (!where_.empty()) report_.where = runtime::WithoutExtendedPrefix(where_);
  return report_;
}

}  // namespace

RemovalReport RemoveTreeWholeForTesting(const std::wstring& path, runtime::Progress* progress,
                                        const runtime::FileApi& api) {
  std::wstring wide = path;
  while (!wide.empty() && wide.back() == L'\\') wide.pop_back();
  const RemovalReport refused{WholeRemoval::kRefused, 0, {}};
  if (wide.empty() || !MayRemoveTree(wide)) return refused;
  std::wstring folder = runtime::ExtendedLengthPath(wide);
  if (folder.empty()) return refused;
  return Removal(api, progress, std::move(folder)).Run();
}

RemovalReport RemoveTreeWhole(const std::wstring& path, runtime::Progress* progress) {
  return RemoveTreeWholeForTesting(path, progress, runtime::SystemFileApi());
}

}  // namespace fs
