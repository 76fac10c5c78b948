#include "platform/socket.h"
#include "platform/bounded_call.h"
#include "platform/deadline.h"
#include "platform/error.h"
#include "platform/socket_error.h"
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

struct Lookup {
  int error = 0;
  in_addr address{};
};

in_addr resolve(const std::string& host, std::chrono::milliseconds timeLimit) {
  in_addr address{};
  if (::_stricmp(host.c_str(), "localhost") == 0) {
    address.s_addr = htonl(INADDR_LOOPBACK);
    return address;
  }
  unsigned long dotted = ::inet_addr(host.c_str());
  if (dotted != INADDR_NONE && !host.empty()) {
    address.s_addr = dotted;
    return address;
  }
  std::optional<Lookup> found = callWithin(timeLimit, [host] {
    Lookup lookup;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &list);
    if (result != 0 || list == nullptr) {
      lookup.error = result != 0 ? result : WSAHOST_NOT_FOUND;
    } else {
      lookup.address = reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr;
      ::freeaddrinfo(list);
    }
    return lookup;
  });
  if (!found) fail(WSATRY_AGAIN);
  if (found->error != 0) fail(found->error);
  return found->address;
}

// The socket stays non-blocking after the connect, so every wait goes through select and is bounded.
class WinsockConnection final : public Connection {
public:
  explicit WinsockConnection(SOCKET socket) : socket_(socket) {}
  ~WinsockConnection() override { close(); }

  void send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeLimit) override {
    const Deadline deadline(timeLimit);
    while (!bytes.empty()) {
      int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20));
      int sent = ::send(socket_, reinterpret_cast<const char*>(bytes.data()), chunk, 0);
      if (sent > 0) {
        bytes = bytes.subspan(static_cast<std::size_t>(sent));
        continue;
      }
      if (::WSAGetLastError() != WSAEWOULDBLOCK) failLast();
      if (!waitFor(socket_, true, deadline.left())) fail(WSAETIMEDOUT);
    }
  }

  std::optional<std::size_t> receive(std::span<std::uint8_t> into, std::chrono::milliseconds wait) override {
    for (;;) {
      int chunk = static_cast<int>(std::min<std::size_t>(into.size(), 1 << 20));
      int got = ::recv(socket_, reinterpret_cast<char*>(into.data()), chunk, 0);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (::WSAGetLastError() != WSAEWOULDBLOCK) failLast();
      if (!waitFor(socket_, false, wait)) return std::nullopt;
    }
  }

  void close() override {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }

private:
  SOCKET socket_;
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
                                      std::chrono::milliseconds timeLimit) override {
    if (!started_) fail(WSASYSNOTREADY);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    const Deadline deadline(timeLimit);
    target.sin_addr = resolve(host, timeLimit);

    SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) failLast();
    auto connection = std::make_unique<WinsockConnection>(socket);
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) failLast();
    BOOL on = TRUE;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);

    if (::connect(socket, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
      if (::WSAGetLastError() != WSAEWOULDBLOCK) failLast();
      if (!waitFor(socket, true, deadline.left())) fail(WSAETIMEDOUT);
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
