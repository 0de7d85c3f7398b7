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

// What earlier removals of `folder` left aside beside it.
std::vector<std::wstring> AsidesOf(const FileApi& api, const std::wstring& folder) {
  const std::wstring pattern = folder + std::wstring(kAsideSuffix);
  const std::wstring parent = folder.substr(0, folder.rfind(L'\\') + 1);
  const std::wstring_view prefix = std::wstring_view(pattern).substr(parent.size());
  std::vector<std::wstring> earlier;
  runtime::FileEnumerator listing(pattern + L'*', api);
  FoundEntry entry;
  while (listing.Next(entry)) {
    if (entry.name.starts_with(prefix)) earlier.push_back(parent + entry.name);
  }
  return earlier;
}

// Removes what earlier removals of `folder` left aside beside it, skipping those still held; true
// when none is left.
bool RemoveAsides(const FileApi& api, const std::wstring& folder, RetryBudget& budget) {
  const std::vector<std::wstring> earlier = AsidesOf(api, folder);
  bool allGone = true;
  for (const std::wstring& aside : earlier) {
    TreeWalk walk(api, nullptr, nullptr, &budget);
    Identity identity;
    allGone = walk.Check(aside, identity) && walk.Remove(aside, &identity) && allGone;
  }
  return allGone;
}

class Removal {
 public:
  Removal(const FileApi& api, runtime::Progress* progress, std::wstring folder,
          const RemovalReport* before)
      : api_(api), progress_(progress), folder_(std::move(folder)), before_(before) {}

  // Checks the folder, moves it aside and removes it there; the report of how it ended.
  [[nodiscard]] RemovalReport Run();

 private:
  // Run's steps; false where they stopped, with the report filled in.
  [[nodiscard]] bool Steps();
  // Records how the removal ended and where it stopped; false, for the caller to return.
  bool Stop(WholeRemoval result, const WalkStop& stop);
  // Stop for a refusal before anything went: in use when someone holds the entry.
  bool Refused(const WalkStop& stop);
  // Stop for a rename of `folder` refused with `error`.
  bool RefusedMove(const std::wstring& folder, DWORD error);
  // Renames `from`, still the one of `identity`, to `to`, trying again while the refusal may pass;
  // `renamed` receives who it is under the new name. False with the refusal in `error`.
  [[nodiscard]] bool Move(const std::wstring& from, const Identity& identity,
                          const std::wstring& to, Identity& renamed, DWORD& error);
  // Moves the folder at `aside`, still the one of `identity`, back under its name; when it cannot
  // go back, the report names where it lies. False with the refusal in `error`.
  [[nodiscard]] bool MoveBack(const std::wstring& aside, const Identity& identity, DWORD& error);

  const FileApi& api_;
  runtime::Progress* const progress_;
  const std::wstring folder_;
  const RemovalReport* const before_;
  RetryBudget budget_{api_.sleep};
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

bool Removal::RefusedMove(const std::wstring& folder, DWORD error) {
  if (error != ERROR_ACCESS_DENIED) return Refused({error, folder});
  // Windows refuses to rename a directory while anything below it is open (an Explorer window
  // on a subfolder: closing it helps), and an ACL or Controlled Folder Access refuses the same
  // way for good. A check that opens every entry unshared tells the two apart.
  TreeWalk strict(api_);
  Identity ignored;
  if (!strict.Check(folder, ignored, kNoSharing)) return Refused(strict.First());
  return Stop(WholeRemoval::kFailed, {error, folder});
}

bool Removal::Move(const std::wstring& from, const Identity& identity, const std::wstring& to,
                   Identity& renamed, DWORD& error) {
  EntryHandles handles(api_);
  return budget_.Persist(from, [&] {
    if (handles.Move(from, identity, to, renamed, error)) return true;
    SetLastError(error);
    return false;
  });
}

bool Removal::MoveBack(const std::wstring& aside, const Identity& identity, DWORD& error) {
  Identity back;
  if (Move(aside, identity, folder_, back, error)) {
    if (where_.starts_with(aside)) where_.replace(0, aside.size(), folder_);
    report_.aside.clear();
    return true;
  }
  report_.aside = runtime::WithoutExtendedPrefix(aside);
  report_.asideIdentity = identity;
  return false;
}

bool Removal::Steps() {
  // The installation an attempt before could not move back lies whole under its aside name, no
  // leftover of an earlier run: it goes back first, or nothing else is done.
  DWORD error = 0;
  if (before_ != nullptr && !before_->aside.empty() &&
      before_->result != WholeRemoval::kLeftAside) {
    const std::wstring stranded = runtime::ExtendedLengthPath(before_->aside);
    if (!EntryHandles(api_).Gone(stranded) && !MoveBack(stranded, before_->asideIdentity, error)) {
      return RefusedMove(stranded, error);
    }
  }
  (void)RemoveAsides(api_, folder_, budget_);
  TreeWalk walk(api_, progress_, nullptr, &budget_);
  const DWORD attributes = api_.getFileAttributes(folder_.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return walk.Handles().Gone(folder_) || Refused({GetLastError(), folder_});
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Stop(WholeRemoval::kRefused, {});
  Identity identity;
  if (!walk.Check(folder_, identity)) return Refused(walk.First());
  const std::wstring aside = AsideName(folder_);
  Identity renamed;
  if (!Move(folder_, identity, aside, renamed, error)) return RefusedMove(folder_, error);
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
  if (!walk.Check(aside, moved) || moved != renamed) {
    const WalkStop stop =
        walk.First().where.empty() ? WalkStop{kReplacedMeanwhile, aside} : walk.First();
    (void)Refused(stop);
    (void)MoveBack(aside, renamed, error);
    return false;
  }
  // From the first deletion on there is no whole installation to go back to: what a scanner, an
  // indexer or a backup agent still holds after the retries stays aside, and the folder's place is
  // free all the same. Nothing is left to a deletion at restart: the system would carry it out by
  // path, and the folders above lie in a root a standard user may change (a junction put in place
  // of one would steer it elsewhere). The next removal of this folder takes what stays.
  if (walk.Remove(aside, &renamed)) return true;
  report_.aside = runtime::WithoutExtendedPrefix(aside);
  report_.asideIdentity = renamed;
  return Stop(WholeRemoval::kLeftAside, walk.First());
}

RemovalReport Removal::Run() {
  if (progress_ != nullptr) progress_->Restart(0);
  (void)Steps();
  if (!where_.empty()) report_.where = runtime::WithoutExtendedPrefix(where_);
  return report_;
}

// The extended-length form of the folder at `path`, without a trailing backslash; empty for a path
// the tree removal's guard refuses.
std::wstring GuardedFolder(const std::wstring& path) {
  std::wstring wide = path;
  while (!wide.empty() && wide.back() == L'\\') wide.pop_back();
  if (wide.empty() || !MayRemoveTree(wide)) return {};
  return runtime::ExtendedLengthPath(wide);
}

}  // namespace

RemovalReport RemoveTreeWholeForTesting(const std::wstring& path, runtime::Progress* progress,
                                        const runtime::FileApi& api, const RemovalReport* before) {
  std::wstring folder = GuardedFolder(path);
  if (folder.empty()) return {WholeRemoval::kRefused, 0, {}, {}, {}};
  return Removal(api, progress, std::move(folder), before).Run();
}

RemovalReport RemoveTreeWhole(const std::wstring& path, runtime::Progress* progress,
                              const RemovalReport* before) {
  return RemoveTreeWholeForTesting(path, progress, runtime::SystemFileApi(), before);
}

bool NothingToRemove(const std::wstring& path) {
  const FileApi& api = runtime::SystemFileApi();
  const std::wstring folder = runtime::ExtendedLengthPath(path);
  return !folder.empty() && EntryHandles(api).Gone(folder) && AsidesOf(api, folder).empty();
}

bool RemoveLeftAside(const std::wstring& path) {
  const std::wstring folder = GuardedFolder(path);
  RetryBudget budget(runtime::SystemFileApi().sleep);
  return !folder.empty() && RemoveAsides(runtime::SystemFileApi(), folder, budget);
}

}  // namespace fs
