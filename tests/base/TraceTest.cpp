// The trace channel as the core sees it: dropped until a sink is installed, and lazy messages.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Trace.h"
#include "tests/common/TraceFakes.h"

namespace almanex {
namespace {

TEST(Trace, DroppedWithoutSinkAndMessageNeverBuilt) {
  SetTracer(nullptr);
  bool built = false;
  EXPECT_FALSE(TraceLazy("CommUnit", [&] {
    built = true;
    return std::string("never");
  }));
  EXPECT_FALSE(built);
  EXPECT_FALSE(Trace("CommUnit", "dropped"));
}

TEST(Trace, InstalledSinkReceivesLinesUntilRemoved) {
  test::RecordingTrace sink;  // installs itself
  EXPECT_TRUE(Trace("Comm", "CommShowException: x"));
  EXPECT_TRUE(TraceLazy("TFrmMain", [] { return std::string("SearchNextReminder: y"); }));
  SetTracer(nullptr);
  EXPECT_FALSE(Trace("Comm", "after"));
  EXPECT_EQ(sink.Joined(), (std::vector<std::string>{"Comm\tCommShowException: x", "TFrmMain\tSearchNextReminder: y"}));
}

}  // namespace
}  // namespace almanex
