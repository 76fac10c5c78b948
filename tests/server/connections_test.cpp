#include "body_budget.h"
#include "connections.h"
#include "decode_queue.h"
#include "thread_time.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

namespace glimor::server {
namespace {

struct FakeConnection : Connection {
  void closeWhenIdle() override { ++closeRequests; }
  int closeRequests = 0;
};

TEST(Connections, AnAddressOverItsShareIsRefused) {
  Connections connections(100, 2);
  auto a = std::make_shared<FakeConnection>();
  EXPECT_TRUE(connections.add(a, "192.0.2.1"));
  EXPECT_TRUE(connections.add(a, "192.0.2.1"));
  EXPECT_FALSE(connections.add(a, "192.0.2.1"));
  EXPECT_TRUE(connections.add(a, "192.0.2.2"));
}

// An IPv6 /64 is one client, as for every other limit; a proxy's connections
// count against no client until the PROXY header names theirs.
TEST(Connections, ASixtyFourIsOneAddressAndAProxiedClientCountsOnceNamed) {
  Connections connections(100, 2);
  auto a = std::make_shared<FakeConnection>();
  EXPECT_TRUE(connections.add(a, "2001:db8:1:2::1"));
  EXPECT_TRUE(connections.add(a, "2001:db8:1:2:ffff::9"));
  EXPECT_FALSE(connections.add(a, "2001:db8:1:2::7"));
  EXPECT_TRUE(connections.add(a, "2001:db8:1:3::1"));

  std::vector<Connections::Handle> fromProxy;
  for (int i = 0; i < 5; ++i) fromProxy.push_back(*connections.add(a));
  EXPECT_TRUE(connections.moveTo(fromProxy[0], "198.51.100.1"));
  EXPECT_TRUE(connections.moveTo(fromProxy[1], "198.51.100.1"));
  EXPECT_FALSE(connections.moveTo(fromProxy[2], "198.51.100.1"));
  EXPECT_FALSE(connections.add(a, "198.51.100.1"));
  connections.remove(fromProxy[0]); // its share comes back
  EXPECT_TRUE(connections.moveTo(fromProxy[3], "198.51.100.1"));
  EXPECT_TRUE(connections.moveTo(fromProxy[4], "2001:db8:1:3::2"));
  EXPECT_FALSE(connections.add(a, "2001:db8:1:3::3"));
}

TEST(Connections, AtTheCapTheConnectionIdleLongestMakesRoom) {
  Connections connections(3, 10);
  std::vector<std::shared_ptr<FakeConnection>> open;
  std::vector<Connections::Handle> handles;
  for (int i = 0; i < 3; ++i) {
    open.push_back(std::make_shared<FakeConnection>());
    handles.push_back(*connections.add(open.back(), "192.0.2.1"));
  }
  connections.setIdle(handles[1], true);
  connections.setIdle(handles[2], true);
  connections.setIdle(handles[0], true);
  connections.setIdle(handles[2], false); // busy with a request: never chosen

  auto newcomer = std::make_shared<FakeConnection>();
  EXPECT_TRUE(connections.add(newcomer, "192.0.2.9"));
  EXPECT_EQ(open[1]->closeRequests, 1);
  EXPECT_TRUE(connections.add(newcomer, "192.0.2.9"));
  EXPECT_EQ(open[0]->closeRequests, 1);
  // Nothing idle is left: the next one is refused, the busy one kept.
  EXPECT_FALSE(connections.add(newcomer, "192.0.2.9"));
  EXPECT_EQ(open[2]->closeRequests, 0);
}

TEST(BodyBudget, NoAddressTakesMoreThanItsShare) {
  BodyBudget budget(400, 100);
  EXPECT_TRUE(budget.claim("192.0.2.1", 60));
  EXPECT_FALSE(budget.claim("192.0.2.1", 60));
  EXPECT_TRUE(budget.claim("192.0.2.2", 100));
  budget.release("192.0.2.1", 60);
  EXPECT_TRUE(budget.claim("192.0.2.1", 100));
  EXPECT_TRUE(budget.claim("192.0.2.3", 100));
  EXPECT_FALSE(budget.claim("192.0.2.4", 101)); // beyond the whole budget as well
  EXPECT_TRUE(budget.claim("192.0.2.4", 100));
  EXPECT_FALSE(budget.claim("192.0.2.5", 1));
}

// Waits for what a queue's jobs signal. The bound is for a queue that would never
// run them, not a measure of speed: past it the test fails at once, as the
// queue's join would wait for them for ever.
void expectRun(std::future<void> ran, const char* what) {
  if (ran.wait_for(std::chrono::seconds(30)) == std::future_status::ready) return;
  ADD_FAILURE() << what << " never ran";
  std::fflush(stdout);
  std::_Exit(1);
}

// A client with many images holds the threads shared by clients with a decode
// running, no more, so an upload from another network is decoded meanwhile; then all
// of them run.
TEST(DecodeQueue, OneClientNeverHoldsEveryThread) {
  std::mutex mutex;
  std::condition_variable released;
  bool release = false;
  std::atomic<int> running = 0, mostAtOnce = 0, finished = 0;
  std::promise<void> otherClient, allFinished;
  {
    DecodeQueue queue(2, 1);
    for (int i = 0; i < 4; ++i)
      queue.post(decodeAccountsOf("192.0.2.1", std::nullopt), [&] {
        int now = ++running;
        mostAtOnce = std::max(mostAtOnce.load(), now);
        std::unique_lock lock(mutex);
        released.wait(lock, [&] { return release; });
        --running;
        if (++finished == 4) allFinished.set_value();
      });
    queue.post(decodeAccountsOf("198.51.100.2", std::nullopt), [&] { otherClient.set_value(); });
    expectRun(otherClient.get_future(), "another network's decode");
    {
      std::lock_guard lock(mutex);
      release = true;
    }
    released.notify_all();
    expectRun(allFinished.get_future(), "the busy client's decodes");
  }
  EXPECT_EQ(mostAtOnce, 1);
  EXPECT_EQ(finished, 4);
}

// What the queue charges: processor time the job's thread spends.
void spend(std::chrono::milliseconds amount) {
  const auto until = threadProcessorTime() + amount;
  while (threadProcessorTime() < until) {
  }
}

// Clients whose decodes recently cost much wait behind those that cost little.
// The costly address owes, and so do its /24 and a token used from anywhere;
// other networks, and another token even from the costly address, owe nothing.
TEST(DecodeQueue, ThoseWhoOweLeastComeFirst) {
  EXPECT_EQ(decodeAccountsOf("2001:db8:1:2:3::9", std::nullopt),
            (DecodeAccounts{"2001:db8:1:2::/64", "2001:db8:1::/48"}));
  EXPECT_EQ(decodeAccountsOf("::ffff:192.0.2.1", std::nullopt),
            (DecodeAccounts{"192.0.2.1", "192.0.2.0/24"}));
  EXPECT_EQ(decodeAccountsOf("192.0.2.1", "light"), DecodeAccounts{"token light"});

  std::mutex mutex;
  std::vector<std::string> served;
  std::promise<void> allServed;
  auto record = [&](std::string name) {
    return [&, name] {
      std::lock_guard lock(mutex);
      served.push_back(name);
      if (served.size() == 6) allServed.set_value();
    };
  };
  {
    DecodeQueue queue(1, 1);
    queue.post(decodeAccountsOf("192.0.2.1", std::nullopt), [] { spend(std::chrono::milliseconds(50)); });
    queue.post(decodeAccountsOf("203.0.113.9", "heavy"), [] { spend(std::chrono::milliseconds(50)); });
    // Once both have been charged, one job holds the only thread while the others come in.
    std::promise<void> started, go;
    queue.post(decodeAccountsOf("198.18.0.1", std::nullopt), [&, gate = go.get_future().share()] {
      started.set_value();
      gate.wait();
    });
    expectRun(started.get_future(), "the first decodes");
    queue.post(decodeAccountsOf("192.0.2.1", std::nullopt), record("costly address"));
    queue.post(decodeAccountsOf("192.0.2.77", std::nullopt), record("costly network"));
    queue.post(decodeAccountsOf("198.51.100.5", "heavy"), record("costly token"));
    queue.post(decodeAccountsOf("198.51.100.1", std::nullopt), record("IPv4"));
    queue.post(decodeAccountsOf("2001:db8:1::1", std::nullopt), record("IPv6"));
    queue.post(decodeAccountsOf("192.0.2.1", "light"), record("other token"));
    go.set_value();
    expectRun(allServed.get_future(), "the waiting decodes");
  }
  ASSERT_EQ(served.size(), 6u);
  EXPECT_EQ(std::vector(served.begin(), served.begin() + 3),
            (std::vector<std::string>{"IPv4", "IPv6", "other token"}));
  EXPECT_EQ(served.back(), "costly address"); // it owes for itself and for its network
}

} // namespace
} // namespace glimor::server
