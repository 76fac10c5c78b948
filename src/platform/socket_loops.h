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

// The bounded steps of a non-blocking IPv4 socket, the same over every system's sockets: each
// system brings its own calls, these decide how long to wait and what a wait that runs out means.
namespace glimor::platform::socket_loops {

// An IPv4 address (its four bytes in wire order), or the WinSock number of why there is none.
struct Ipv4Lookup {
  int error = 0;
  std::array<std::uint8_t, 4> address{};
};

// "localhost" in any letter case is 127.0.0.1 and a literal address (`parseLiteral(host)`, an
// optional address) is used as written, without asking anyone. Any other name is looked up by
// `lookUp(host)` on a thread of its own, left behind when it takes longer than `timeLimit`
// (then socket error 11002) or when `cancel` calls it off.
template <class ParseLiteral, class LookUp>
Ipv4Lookup resolveIpv4(const std::string& host, std::chrono::milliseconds timeLimit,
                       const CancelToken& cancel, ParseLiteral parseLiteral, LookUp lookUp) {
  if (ascii::equalsIgnoringCase(host, "localhost")) return {0, {127, 0, 0, 1}};
  if (std::optional<std::array<std::uint8_t, 4>> literal = parseLiteral(host)) return {0, *literal};
  std::optional<Ipv4Lookup> found = callWithin(
      timeLimit, [host, lookUp] { return lookUp(host); }, [&cancel] { return cancel.cancelled(); });
  cancel.throwIfCancelled();
  return found ? *found : Ipv4Lookup{wsa::tryAgain, {}};
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
