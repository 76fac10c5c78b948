#include "platform/socket.h"
#include "os/address_lookup.h"
#include "platform/deadline.h"
#include "platform/error.h"
#include "platform/socket_error.h"
#include "platform/socket_loops.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace glimor::platform {
namespace {

// Linux errno values as the WinSock numbers that the program's messages carry.
int winsockNumber(int error) {
  switch (error) {
  case EACCES:
    return wsa::accessDenied;
  case EADDRINUSE:
    return wsa::addressInUse;
  case EADDRNOTAVAIL:
    return wsa::addressNotAvailable;
  case ENETDOWN:
    return wsa::networkDown;
  case ENETUNREACH:
    return wsa::networkUnreachable;
  case ECONNABORTED:
    return wsa::connectionAborted;
  case ECONNRESET:
  case EPIPE:
    return wsa::connectionReset;
  case ENOBUFS:
  case ENOMEM:
    return wsa::noBufferSpace;
  case ENOTCONN:
    return wsa::notConnected;
  case ESHUTDOWN:
    return wsa::shutDown;
  case ETIMEDOUT:
    return wsa::timedOut;
  case ECONNREFUSED:
    return wsa::connectionRefused;
  case EHOSTDOWN:
    return wsa::hostDown;
  case EHOSTUNREACH:
    return wsa::hostUnreachable;
  default:
    return 10000 + error;
  }
}

int lookupNumber(int gaiError) {
  switch (gaiError) {
  case EAI_AGAIN:
    return wsa::tryAgain;
  case EAI_FAIL:
    return wsa::noRecovery;
  case EAI_SYSTEM:
    return winsockNumber(errno);
  default:
    return wsa::hostNotFound;
  }
}

[[noreturn]] void fail(int winsockError) {
  throw Error(socketErrorMessage(winsockError));
}

int waitFor(int fd, short events, std::chrono::milliseconds limit) {
  pollfd entry{fd, events, 0};
  for (;;) {
    int ready = ::poll(&entry, 1, static_cast<int>(limit.count()));
    if (ready >= 0) return ready;
    if (errno != EINTR) fail(winsockNumber(errno));
  }
}

socket_loops::Lookup resolve(const std::string& host, std::chrono::milliseconds timeLimit,
                             const CancelToken& cancel) {
  auto literal = [](const std::string& name) -> std::optional<socket_loops::IpAddress> {
    socket_loops::IpAddress address;
    if (::inet_pton(AF_INET, name.c_str(), address.bytes.data()) != 1) return std::nullopt;
    return address;
  };
  auto lookUp = [](const std::string& name) { return os::lookUpAddresses(name, lookupNumber); };
  socket_loops::Lookup found = socket_loops::resolve(host, timeLimit, cancel, literal, lookUp);
  if (found.error != 0) fail(found.error);
  return found;
}

// The socket stays non-blocking after the connect, so every wait goes through poll and is bounded.
class PosixConnection final : public Connection {
public:
  PosixConnection(int fd, const CancelToken& cancel) : fd_(fd), cancel_(cancel) {}
  ~PosixConnection() override { close(); }

  void send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeLimit) override {
    socket_loops::sendAll(
        bytes, timeLimit, cancel_,
        [this](std::span<const std::uint8_t> rest) {
          return settle(::send(fd_, rest.data(), rest.size(), MSG_NOSIGNAL));
        },
        [this](std::chrono::milliseconds limit) { return waitFor(fd_, POLLOUT, limit) > 0; });
  }

  std::optional<std::size_t> receive(std::span<std::uint8_t> into, std::chrono::milliseconds wait) override {
    return socket_loops::receiveWithin(
        into, wait, cancel_,
        [this](std::span<std::uint8_t> room) { return settle(::recv(fd_, room.data(), room.size(), 0)); },
        [this](std::chrono::milliseconds limit) { return waitFor(fd_, POLLIN, limit) > 0; });
  }

  void close() override {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

private:
  // The count of a send or receive; nothing when the call would block or was interrupted.
  static std::optional<std::size_t> settle(ssize_t count) {
    if (count >= 0) return static_cast<std::size_t>(count);
    if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) fail(winsockNumber(errno));
    return std::nullopt;
  }

  int fd_;
  const CancelToken& cancel_;
};

class PosixNetwork final : public Network {
public:
  std::unique_ptr<Connection> connect(const std::string& host, std::uint16_t port,
                                      std::chrono::milliseconds timeLimit,
                                      const CancelToken& cancel) override {
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
    socklen_t targetSize = 0;
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
    int fd = ::socket(target.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) fail(winsockNumber(errno));
    auto connection = std::make_unique<PosixConnection>(fd, cancel);
    // The head goes out in one write; Nagle would only hold back its last segment.
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);

    if (::connect(fd, reinterpret_cast<sockaddr*>(&target), targetSize) != 0) {
      if (errno != EINPROGRESS) fail(winsockNumber(errno));
      if (!waitUnlessCancelled(timeLimit, cancel, [fd](std::chrono::milliseconds limit) {
            return waitFor(fd, POLLOUT, limit) > 0;
          }))
        fail(wsa::timedOut);
      int error = 0;
      socklen_t size = sizeof error;
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
      if (error != 0) fail(winsockNumber(error));
    }
    return connection;
  }
};

} // namespace

Network& systemNetwork() {
  static PosixNetwork network;
  return network;
}

} // namespace glimor::platform
