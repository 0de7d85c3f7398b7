#include <gtest/gtest.h>

#include <string>

#include "app/owned_files.h"

namespace {

using app::RemovalNext;
using app::RemovalOutcome;
using fs::WholeRemoval;

// Every result a removal reports, with and without a folder left under its aside name: what it
// means for the user and what the reinstall, the installation and the uninstaller do next.
TEST(ReadRemoval, NamesEveryOutcomeAndWhatHappensNext) {
  constexpr wchar_t kAside[] = L"C:\\Q\\brisel.veltrane-removal-7-1";
  const std::string aside = "C:\\Q\\brisel.veltrane-removal-7-1";
  const struct {
    WholeRemoval result;
    const wchar_t* aside;
    RemovalOutcome outcome;
    RemovalNext next;
    std::string said;  // a part the message holds; empty: nothing is said
  } cases[] = {
      {WholeRemoval::kRemoved, L"", RemovalOutcome::kGone, RemovalNext::kGoOn, ""},
      {WholeRemoval::kLeftAside, kAside, RemovalOutcome::kRestLeftAside, RemovalNext::kGoOn,
       "：\n" + aside + "\n它将在下次安装或卸载 brisel 时删除"},
      {WholeRemoval::kRefused, L"", RemovalOutcome::kNotOurs, RemovalNext::kGoOnUntouched, ""},
      {WholeRemoval::kInUse, L"", RemovalOutcome::kKeptInUse, RemovalNext::kLeaveAsChosen, ""},
      {WholeRemoval::kInUse, kAside, RemovalOutcome::kStrandedAside, RemovalNext::kStopTelling,
       "（系统错误 32"},
      {WholeRemoval::kFailed, kAside, RemovalOutcome::kStrandedAside, RemovalNext::kStopTelling,
       "它现位于：" + aside + "。"},
      {WholeRemoval::kFailed, L"", RemovalOutcome::kFailed, RemovalNext::kStopTelling,
       "未能删除 brisel 的文件：C:\\Q\\brisel\\a.bin（系统错误 32"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.result));
    SCOPED_TRACE(c.said);
    const app::RemovalReading reading =
        app::ReadRemoval({c.result, ERROR_SHARING_VIOLATION, L"C:\\Q\\brisel\\a.bin", c.aside, {}});
    EXPECT_EQ(reading.outcome, c.outcome);
    EXPECT_EQ(reading.next, c.next);
    if (c.said.empty()) {
      EXPECT_EQ(reading.message, "");
    } else {
      EXPECT_NE(reading.message.find(c.said), std::string::npos) << reading.message;
    }
  }
}

}  // namespace
