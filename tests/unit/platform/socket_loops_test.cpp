#include "platform/socket_loops.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace glimor::platform {
namespace {

using namespace std::chrono_literals;

// A socket that never has data: the waits it was asked for, and a cancel during the third.
struct SilentSocket {
  CancelToken cancel;
  std::vector<std::chrono::milliseconds> waits;
  std::size_t cancelAt = 3;
  bool wait(std::chrono::milliseconds slice) {
    waits.push_back(slice);
    if (waits.size() == cancelAt) cancel.cancel();
    std::this_thread::sleep_for(slice);
    return false;
  }
};

TEST(SocketLoops, ACancelEndsReceivingAndSendingWithinOneSliceOfTheLongWait) {
  SilentSocket socket;
  std::uint8_t buffer[8];
  auto nothing = [](auto) -> std::optional<std::size_t> { return std::nullopt; };
  auto wait = [&](std::chrono::milliseconds slice) { return socket.wait(slice); };
  EXPECT_THROW(socket_loops::receiveWithin(buffer, 60s, socket.cancel, nothing, wait), Cancelled);
  EXPECT_THAT(socket.waits, ::testing::Each(CancelToken::checkInterval));
  EXPECT_EQ(socket.waits.size(), 3u);

  const std::uint8_t bytes[3] = {1, 2, 3};
  EXPECT_THROW(socket_loops::sendAll(bytes, 60s, socket.cancel, nothing, wait), Cancelled);
  EXPECT_EQ(socket.waits.size(), 3u); // a cancelled token stops before any wait

  socket.cancel.reset();
  socket.cancelAt = 0;
  socket.waits.clear();
  EXPECT_EQ(socket_loops::receiveWithin(buffer, 150ms, socket.cancel, nothing, wait), std::nullopt);
  // The wait runs out in slices that together are no longer than asked (a slice is rounded up).
  EXPECT_THAT(socket.waits, ::testing::Each(::testing::Le(CancelToken::checkInterval)));
  std::chrono::milliseconds waited{};
  for (auto slice : socket.waits) waited += slice;
  EXPECT_LE(waited, 151ms);
}

} // namespace
} // namespace glimor::platform
