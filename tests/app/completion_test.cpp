// The order in which a finished installation becomes findable and is shown as done.
#include "app/completion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(CompletionTest, DoneShowsOnlyOnceTheRecordAndPathDatAreWrittenAndARecordFailureIsToldAfter) {
  const struct {
    bool recorded;
    std::vector<std::string> order;
  } kCases[] = {
      {true, {"record", "path.dat", "done"}},
      {false, {"record", "path.dat", "done", "record failure told"}},
  };
  for (const auto& [recorded, order] : kCases) {
    std::vector<std::string> calls;
    app::CompleteInstallation(
        [&] {
          calls.push_back("record");
          return recorded;
        },
        [&] { calls.push_back("path.dat"); }, [&] { calls.push_back("done"); },
        [&] { calls.push_back("record failure told"); });
    EXPECT_EQ(calls, order) << recorded;
  }
}

}  // namespace
