#include "platform/socket.h"
#include "platform/deadline.h"
#include "platform/error.h"
#include "platform/socket_error.h"
#include "platform/socket_loops.h"
#include "win32/os/system_text.h"

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

in_addr resolve(const std::string& host, std::chrono::milliseconds timeLimit, const CancelToken& cancel) {
  auto literal = [](const std::string& name) -> std::optional<std::array<std::uint8_t, 4>> {
    unsigned long dotted = ::inet_addr(name.c_str());
    if (dotted == INADDR_NONE || name.empty()) return std::nullopt;
    std::array<std::uint8_t, 4> address;
    std::memcpy(address.data(), &dotted, 4);
    return address;
  };
  auto lookUp = [](const std::string& name) {
    socket_loops::Ipv4Lookup lookup;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    int result = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
    if (result != 0 || list == nullptr) {
      lookup.error = result != 0 ? result : WSAHOST_NOT_FOUND;
    } else {
      std::memcpy(lookup.address.data(), &reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr, 4);
      ::freeaddrinfo(list);
    }
    return lookup;
  };
  socket_loops::Ipv4Lookup found = socket_loops::resolveIpv4(host, timeLimit, cancel, literal, lookUp);
  if (found.error != 0) fail(found.error);
  in_addr address;
  std::memcpy(&address, found.address.data(), 4);
  return address;
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
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    const Deadline deadline(timeLimit);
    target.sin_addr = resolve(host, timeLimit, cancel);

    SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) failLast();
    auto connection = std::make_unique<WinsockConnection>(socket, cancel);
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) failLast();
    BOOL on = TRUE;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);

    if (::connect(socket, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
      if (::WSAGetLastError() != WSAEWOULDBLOCK) failLast();
      if (!waitUnlessCancelled(deadline.left(), cancel, [socket](std::chrono::milliseconds limit) {
            return waitFor(socket, true, limit);
          }))
        fail(WSAETIMEDOUT);
    }
    return connection;
  }

private:
  bool started_ = false;
};

} // namespace

Network& systemNetwork() {
  static WinsockNetwork network;
  return network;
}

} // namespace glimor::platform
