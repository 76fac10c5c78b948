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

TEST(SocketLoops, NamesResolveToAddressesOfBothFamiliesInTheirOrder) {
  CancelToken cancel;
  int lookups = 0;
  auto noLiteral = [](const std::string&) -> std::optional<socket_loops::IpAddress> { return std::nullopt; };
  socket_loops::IpAddress six{true, {}};
  six.bytes[0] = 0x20;
  auto lookUp = [&](const std::string&) {
    ++lookups;
    return socket_loops::Lookup{0, {six, socket_loops::ipv4(10, 0, 0, 1)}};
  };
  socket_loops::Lookup local = socket_loops::resolve("LocalHost", 1s, cancel, noLiteral, lookUp);
  ASSERT_EQ(local.addresses.size(), 2u);
  EXPECT_FALSE(local.addresses[0].ipv6);
  EXPECT_EQ(local.addresses[0].bytes[0], 127);
  EXPECT_TRUE(local.addresses[1].ipv6);
  EXPECT_EQ(local.addresses[1].bytes[15], 1);
  EXPECT_EQ(lookups, 0);

  socket_loops::Lookup named = socket_loops::resolve("images.example", 1s, cancel, noLiteral, lookUp);
  ASSERT_EQ(named.addresses.size(), 2u);
  EXPECT_TRUE(named.addresses[0].ipv6);
  EXPECT_EQ(named.addresses[1].bytes[3], 1);

  auto nothing = [](const std::string&) { return socket_loops::Lookup{}; };
  EXPECT_EQ(socket_loops::resolve("images.example", 1s, cancel, noLiteral, nothing).error, wsa::hostNotFound);
}

TEST(SocketLoops, TheFirstAddressThatConnectsWinsWithinTheWholeLimit) {
  CancelToken cancel;
  const std::vector<socket_loops::IpAddress> addresses = {
      socket_loops::ipv4(10, 0, 0, 1), socket_loops::ipv4(10, 0, 0, 2), socket_loops::ipv4(10, 0, 0, 3)};
  std::vector<std::chrono::milliseconds> shares;
  auto refusedUntilLast = [&](const socket_loops::IpAddress& address, std::chrono::milliseconds share) {
    shares.push_back(share);
    if (address.bytes[3] != 3) throw Error("refused " + std::to_string(address.bytes[3]));
    return int{address.bytes[3]};
  };
  EXPECT_EQ(socket_loops::connectFirst(addresses, 300ms, cancel, refusedUntilLast), 3);
  ASSERT_EQ(shares.size(), 3u);
  // One silent address may not take the time of those after it.
  EXPECT_LE(shares[0], 100ms);
  EXPECT_LE(shares[1], 150ms);
  EXPECT_LE(shares[2], 300ms);

  auto allRefused = [](const socket_loops::IpAddress& address, std::chrono::milliseconds) -> int {
    throw Error("refused " + std::to_string(address.bytes[3]));
  };
  try {
    socket_loops::connectFirst(addresses, 300ms, cancel, allRefused);
    ADD_FAILURE() << "no address connected";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "refused 3"); // the last failure is the one reported
  }

  int tried = 0;
  auto cancelled = [&](const socket_loops::IpAddress&, std::chrono::milliseconds) -> int {
    ++tried;
    throw Cancelled();
  };
  EXPECT_THROW(socket_loops::connectFirst(addresses, 300ms, cancel, cancelled), Cancelled);
  EXPECT_EQ(tried, 1);
}

} // namespace
} // namespace glimor::platform
