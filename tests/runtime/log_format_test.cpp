#include "runtime/log_format.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace runtime {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr LogTime kMorning{2026, 1, 9, 4, 5, 6, 7};

TEST(AppendDecimal, WritesEveryDigitPaddedToTheWidth) {
  std::string text = "x";
  AppendDecimal(text, 0);
  AppendDecimal(text, 42, 4);
  AppendDecimal(text, 123456, 2);
  EXPECT_EQ(text, "x00042123456");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::uint64_t>::max()), "18446744073709551615");
}

TEST(RunLogName, IsKindDateTimeAndProcessId) {
  EXPECT_EQ(RunLogName("setup", kMorning, 4321), "setup-20260109-040506-4321.log");
  EXPECT_EQ(RunLogName("uninstall", LogTime{2031, 12, 31, 23, 59, 58, 999}, 4294967295u),
            "uninstall-20311231-235958-4294967295.log");
}

TEST(StampedLines, StampsEachNonEmptyLineWithTheLabelAndEndsItWithCrLf) {
  EXPECT_EQ(StampedLines(kMorning, "", "archive write: ok, 12 ms"),
            "2026-01-09 04:05:06.007 archive write: ok, 12 ms\r\n");
  // A system message ends in CR LF, an extractor's output has several lines, in either style.
  EXPECT_EQ(StampedLines(kMorning, "7z: ", "ERROR: Data Error : a\r\n\r\nb\nc\rd\r\n"),
            "2026-01-09 04:05:06.007 7z: ERROR: Data Error : a\r\n"
            "2026-01-09 04:05:06.007 7z: b\r\n"
            "2026-01-09 04:05:06.007 7z: c\r\n"
            "2026-01-09 04:05:06.007 7z: d\r\n");
  EXPECT_EQ(StampedLines(kMorning, "label: ", ""), "");
  EXPECT_EQ(StampedLines(kMorning, "label: ", "\r\n\n"), "");
}

TEST(RunLogsToDelete, DeletesTheOldestOfTheKindBeyondTheKeptNumber) {
  std::vector<std::string> names;
  // Listed out of order, and with a later year whose process id sorts first as text.
  for (const char* name : {"setup-20260109-040506-99.log", "setup-20251231-235959-7.log",
                           "setup-20260109-040506-100.log", "setup-20270101-000000-1.log"}) {
    names.emplace_back(name);
  }
  EXPECT_THAT(RunLogsToDelete("setup", names, 2),
              ElementsAre("setup-20251231-235959-7.log", "setup-20260109-040506-100.log"));
  EXPECT_THAT(RunLogsToDelete("setup", names, 4), IsEmpty());
  EXPECT_THAT(RunLogsToDelete("setup", names, 0), testing::SizeIs(4));
}

TEST(RunLogsToDelete, NeverCountsOrDeletesWhatItDidNotName) {
  std::vector<std::string> names;
  for (const char* name :
       {"setup-20200101-000000-1.log", "uninstall-20190101-000000-1.log", "setup-notes.log",
        "setup-20190101-000000-1.log.bak", "setup-20190101-000000-.log",
        "setup-2019010-0000000-1.log", "setup-20190101-000000-12345678901.log",
        "setup-20190101-000000-1x.log", "Setup-20190101-000000-1.log",
        "mysetup-20190101-000000-1.log", "setup-20210101-000000-2.log"}) {
    names.emplace_back(name);
  }
  EXPECT_THAT(RunLogsToDelete("setup", names, 1), ElementsAre("setup-20200101-000000-1.log"));
  EXPECT_THAT(RunLogsToDelete("uninstall", names, 0),
              ElementsAre("uninstall-20190101-000000-1.log"));
}

}  // namespace
}  // namespace runtime
