#include "platform/socket.h"
#include "os/address_lookup.h"
#include "os/win32/system_text.h"
#include "platform/deadline.h"
#include "platform/error.h"
#include "platform/socket_error.h"
#include "platform/socket_loops.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

namespace glimor::platform {
namespace {

[[noreturn]] void fail(int error) {
  if (!socketErrorText(error).empty()) throw Error(socketErrorMessage(error));
  throw Error("Socket Error # " + std::to_string(error) + "\r\n" + win32::systemErrorText(error) + ".");
}

[[noreturn]] void failLast() {
  fail(::WSAGetLastError());
}

timeval toTimeval(std::chrono::milliseconds limit) {
  timeval tv{};
  tv.tv_sec = static_cast<long>(limit.count() / 1000);
  tv.tv_usec = static_cast<long>((limit.count() % 1000) * 1000);
  return tv;
}

// Waits until `socket` is readable (or writable); false when the limit expired.
bool waitFor(SOCKET socket, bool forWriting, std::chrono::milliseconds limit) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  fd_set failed;
  FD_ZERO(&failed);
  FD_SET(socket, &failed);
  timeval tv = toTimeval(limit);
  int ready =
      forWriting ? ::select(0, nullptr, &set, &failed, &tv) : ::select(0, &set, nullptr, nullptr, &tv);
  if (ready == SOCKET_ERROR) failLast();
  if (ready > 0 && forWriting && FD_ISSET(socket, &failed)) {
    int error = 0;
    int size = sizeof error;
    ::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
    fail(error != 0 ? error : WSAECONNREFUSED);
  }
  return ready > 0;
}

socket_loops::Lookup resolve(const std::string& host, std::chrono::milliseconds timeLimit,
                             const CancelToken& cancel) {
  auto literal = [](const std::string& name) -> std::optional<socket_loops::IpAddress> {
    unsigned long dotted = ::inet_addr(name.c_str());
    if (dotted == INADDR_NONE || name.empty()) return std::nullopt;
    socket_loops::IpAddress address;
    std::memcpy(address.bytes.data(), &dotted, 4);
    return address;
  };
  auto lookUp = [](const std::string& name) {
    return os::lookUpAddresses(name, [](int result) { return result != 0 ? result : WSAHOST_NOT_FOUND; });
  };
  socket_loops::Lookup found = socket_loops::resolve(host, timeLimit, cancel, literal, lookUp);
  if (found.error != 0) fail(found.error);
  return found;
}

// The socket stays non-blocking after the connect, so every wait goes through select and is bounded.
class WinsockConnection final : public Connection {
public:
  WinsockConnection(SOCKET socket, const CancelToken& cancel) : socket_(socket), cancel_(cancel) {}
  ~WinsockConnection() override { close(); }

  void send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeLimit) override {
    socket_loops::sendAll(
        bytes, timeLimit, cancel_,
        [this](std::span<const std::uint8_t> rest) {
          return settle(::send(socket_, reinterpret_cast<const char*>(rest.data()), chunkOf(rest.size()), 0));
        },
        [this](std::chrono::milliseconds limit) { return waitFor(socket_, true, limit); });
  }

  std::optional<std::size_t> receive(std::span<std::uint8_t> into, std::chrono::milliseconds wait) override {
    return socket_loops::receiveWithin(
        into, wait, cancel_,
        [this](std::span<std::uint8_t> room) {
          return settle(::recv(socket_, reinterpret_cast<char*>(room.data()), chunkOf(room.size()), 0));
        },
        [this](std::chrono::milliseconds limit) { return waitFor(socket_, false, limit); });
  }

  void close() override {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }

private:
  // WinSock takes an int count: at most 1 MiB a call.
  static int chunkOf(std::size_t size) { return static_cast<int>(std::min<std::size_t>(size, 1 << 20)); }

  // The count of a send or receive; nothing when the call would block.
  static std::optional<std::size_t> settle(int count) {
    if (count >= 0) return static_cast<std::size_t>(count);
    if (::WSAGetLastError() != WSAEWOULDBLOCK) failLast();
    return std::nullopt;
  }

  SOCKET socket_;
  const CancelToken& cancel_;
};

class WinsockNetwork final : public Network {
public:
  WinsockNetwork() {
    WSADATA data;
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockNetwork() override {
    if (started_) ::WSACleanup();
  }

  std::unique_ptr<Connection> connect(const std::string& host, std::uint16_t port,
                                      std::chrono::milliseconds timeLimit,
                                      const CancelToken& cancel) override {
    if (!started_) fail(WSASYSNOTREADY);
    const Deadline deadline(timeLimit);
    socket_loops::Lookup found = resolve(host, timeLimit, cancel);
    return socket_loops::connectFirst(
        found.addresses, deadline.left(), cancel,
        [&](const socket_loops::IpAddress& address, std::chrono::milliseconds limit) {
          return connectTo(address, port, limit, cancel);
        });
  }

private:
  static std::unique_ptr<Connection> connectTo(const socket_loops::IpAddress& address, std::uint16_t port,
                                               std::chrono::milliseconds timeLimit,
                                               const CancelToken& cancel) {
    sockaddr_storage target{};
    int targetSize = 0;
    if (address.ipv6) {
      auto& six = reinterpret_cast<sockaddr_in6&>(target);
      six.sin6_family = AF_INET6;
      six.sin6_port = htons(port);
      std::memcpy(&six.sin6_addr, address.bytes.data(), 16);
      targetSize = sizeof six;
    } else {
      auto& four = reinterpret_cast<sockaddr_in&>(target);
      four.sin_family = AF_INET;
      four.sin_port = htons(port);
      std::memcpy(&four.sin_addr, address.bytes.data(), 4);
      targetSize = sizeof four;
    }
    SOCKET socket = ::socket(target.ss_family, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) failLast();
    auto connection = std::make_unique<WinsockConnection>(socket, cancel);
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) failLast();
    BOOL on = TRUE;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);

    if (::connect(socket, reinterpret_cast<sockaddr*>(&target), targetSize) != 0) {
      if (::WSAGetLastError() != WSAEWOULDBLOCK) failLast();
      if (!waitUnlessCancelled(timeLimit, cancel, [socket](std::chrono::milliseconds limit) {
            return waitFor(socket, true, limit);
          }))
        fail(WSAETIMEDOUT);
    }
    return connection;
  }

  bool started_ = false;
};

} // namespace

Network& systemNetwork() {
  static WinsockNetwork network;
  return network;
}

} // namespace glimor::platform
