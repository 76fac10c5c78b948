#include "body_budget.h"
#include "connections.h"

#include <gtest/gtest.h>
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

} // namespace
} // namespace glimor::server
