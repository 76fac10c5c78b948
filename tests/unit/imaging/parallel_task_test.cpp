#include "imaging/parallel_task.h"
#include "platform/error.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace glimor::imaging {
namespace {

TEST(ParallelTask, ResultIsTheWorksValueOrItsError) {
  ParallelTask<std::string> ok([] { return std::string(100000, 'x'); });
  EXPECT_EQ(ok.result().size(), 100000u);

  ParallelTask<int> failing([]() -> int { throw Error("No GIF Data to write"); });
  try {
    failing.result();
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "No GIF Data to write");
  }
}

TEST(ParallelTask, WorkNobodyAsksForIsStillFinishedBeforeItsDataGoes) {
  std::atomic<int> done{0};
  {
    int local = 41;
    ParallelTask<int> unused([&] {
      done = local + 1;
      return 0;
    });
  } // the destructor waits
  EXPECT_EQ(done.load(), 42);
}

} // namespace
} // namespace glimor::imaging
