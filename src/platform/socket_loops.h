#pragma once
#include "platform/ascii_case.h"
#include "platform/bounded_call.h"
#include "platform/cancel_token.h"
#include "platform/deadline.h"
#include "platform/error.h"
#include "platform/socket_error.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The bounded steps of a non-blocking socket, the same over every system's sockets: each
// system brings its own calls, these decide how long to wait and what a wait that runs out means.
namespace glimor::platform::socket_loops {

// An address of either family, its bytes in wire order: the first four of an IPv4 address, all
// sixteen of an IPv6 one.
struct IpAddress {
  bool ipv6 = false;
  std::array<std::uint8_t, 16> bytes{};
};

inline IpAddress ipv4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  return {false, {a, b, c, d}};
}

// The addresses of a name, in the order to try them, or the WinSock number of why there are none.
struct Lookup {
  int error = 0;
  std::vector<IpAddress> addresses;
};

// "localhost" in any letter case is 127.0.0.1 and then ::1, and a literal address
// (`parseLiteral(host)`, an optional IpAddress) is used as written, without asking anyone. Any
// other name is looked up by `lookUp(host)` (a Lookup, both families) on a thread of its own, left
// behind when it takes longer than `timeLimit` (then socket error 11002) or when `cancel` calls it
// off.
template <class ParseLiteral, class LookUp>
Lookup resolve(const std::string& host, std::chrono::milliseconds timeLimit, const CancelToken& cancel,
               ParseLiteral parseLiteral, LookUp lookUp) {
  if (ascii::equalsIgnoringCase(host, "localhost")) {
    IpAddress loopback6{true, {}};
    loopback6.bytes[15] = 1;
    return {0, {ipv4(127, 0, 0, 1), loopback6}};
  }
  if (std::optional<IpAddress> literal = parseLiteral(host)) return {0, {*literal}};
  std::optional<Lookup> found = callWithin(
      timeLimit, [host, lookUp] { return lookUp(host); }, [&cancel] { return cancel.cancelled(); });
  cancel.throwIfCancelled();
  if (!found) return {wsa::tryAgain, {}};
  if (found->error == 0 && found->addresses.empty()) found->error = wsa::hostNotFound;
  return *found;
}

// The first connection that `connectTo(address, limit)` makes, trying the addresses in turn, all
// within `timeLimit`: each attempt may take its share of what is left (the last one all of it),
// so one address that never answers leaves time for the next. A failed attempt (an Error) moves
// on; when all fail, the last failure is thrown. A cancel ends the whole.
template <class ConnectTo>
auto connectFirst(const std::vector<IpAddress>& addresses, std::chrono::milliseconds timeLimit,
                  const CancelToken& cancel, ConnectTo connectTo)
    -> decltype(connectTo(addresses.front(), timeLimit)) {
  if (addresses.empty()) throw Error(socketErrorMessage(wsa::hostNotFound));
  const Deadline deadline(timeLimit);
  for (std::size_t i = 0;; ++i) {
    cancel.throwIfCancelled();
    const auto share = deadline.left() / static_cast<long>(addresses.size() - i);
    try {
      return connectTo(addresses[i], share);
    } catch (const Cancelled&) {
      throw;
    } catch (const Error&) {
      if (i + 1 == addresses.size()) throw;
    }
  }
}

// Sends every byte within `timeLimit`. `trySend(bytes)` sends what the system takes now and
// returns the count, nothing when the socket would block (it throws on a failure), and
// no count is taken as a full socket;
// `waitWritable(limit)` returns false when `limit` ran out first. A cancel throws Cancelled
// within CancelToken::checkInterval.
template <class TrySend, class WaitWritable>
void sendAll(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeLimit,
             const CancelToken& cancel, TrySend trySend, WaitWritable waitWritable) {
  const Deadline deadline(timeLimit);
  while (!bytes.empty()) {
    cancel.throwIfCancelled();
    if (std::optional<std::size_t> sent = trySend(bytes); sent && *sent > 0) {
      bytes = bytes.subspan(*sent);
      continue;
    }
    if (!waitUnlessCancelled(deadline.left(), cancel, waitWritable))
      throw Error(socketErrorMessage(wsa::timedOut));
  }
}

// Reads what arrives within `wait`: the count (0 when the peer closed), nothing when `wait` ran
// out. `tryReceive(into)` and `waitReadable(limit)` as for sendAll, and so is a cancel.
template <class TryReceive, class WaitReadable>
std::optional<std::size_t> receiveWithin(std::span<std::uint8_t> into, std::chrono::milliseconds wait,
                                         const CancelToken& cancel, TryReceive tryReceive,
                                         WaitReadable waitReadable) {
  const Deadline deadline(wait);
  for (;;) {
    cancel.throwIfCancelled();
    if (std::optional<std::size_t> got = tryReceive(into)) return got;
    if (!waitUnlessCancelled(deadline.left(), cancel, waitReadable)) return std::nullopt;
  }
}

} // namespace glimor::platform::socket_loops
