// The order in which a finished installation becomes findable and is shown as done.
#include "app/completion.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CompletionTest, DoneShowsOnlyOnceTheRecordAndPathDatAreWrittenAndARecordFailureIsToldAfter) {
  for (const auto& [recorded, order] :
       {std::pair{true, "record path.dat done "}, std::pair{false, "record path.dat done told "}}) {
    std::string calls;
    app::CompleteInstallation(
        [&] {
          calls += "record ";
          return recorded;
        },
        [&] { calls += "path.dat "; }, [&] { calls += "done "; }, [&] { calls += "told "; });
    EXPECT_EQ(calls, order) << recorded;
  }
}

}  // namespace
