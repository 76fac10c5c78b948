#include "group_commit.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace glimor::server {
namespace {

TEST(GroupCommit, ConcurrentWritersShareCommitsAndAllFinish) {
  std::mutex mutex;
  std::vector<int> committed;
  int batches = 0;
  GroupCommit commits([&](const std::vector<const GroupCommit::Write*>& writes) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5)); // a flush to the disk
    std::lock_guard lock(mutex);
    ++batches;
    for (const auto* write : writes) (*write)();
  });

  std::vector<std::thread> writers;
  for (int i = 0; i < 32; ++i)
    writers.emplace_back([&, i] { commits.run([&, i] { committed.push_back(i); }); });
  for (auto& writer : writers) writer.join();

  std::sort(committed.begin(), committed.end());
  ASSERT_EQ(committed.size(), 32u);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(committed[i], i);
  EXPECT_LT(batches, 32) << "writers that arrive during a commit join the next one";
}

TEST(GroupCommit, AFailingWriteFailsOnlyItsOwnCaller) {
  std::atomic<int> good{0};
  std::atomic<int> refused{0};
  // A batch is all or nothing, as a transaction is: it fails if any write in it throws.
  GroupCommit commits([](const std::vector<const GroupCommit::Write*>& writes) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    for (const auto* write : writes) (*write)();
  });
  std::vector<std::thread> writers;
  for (int i = 0; i < 16; ++i)
    writers.emplace_back([&, i] {
      try {
        commits.run([i] {
          if (i % 4 == 0) throw std::runtime_error("constraint failed");
        });
        ++good;
      } catch (const std::runtime_error&) {
        ++refused;
      }
    });
  for (auto& writer : writers) writer.join();
  EXPECT_EQ(good, 12);
  EXPECT_EQ(refused, 4);
}

} // namespace
} // namespace glimor::server
