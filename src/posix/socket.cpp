#include "platform/socket.h"
#include "platform/bounded_call.h"
#include "platform/deadline.h"
#include "platform/error.h"
#include "platform/socket_error.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <strings.h>
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

struct Lookup {
  int error = 0;
  in_addr address{};
};

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

in_addr resolve(const std::string& host, std::chrono::milliseconds timeLimit) {
  in_addr address{};
  if (::strcasecmp(host.c_str(), "localhost") == 0) {
    address.s_addr = htonl(INADDR_LOOPBACK);
    return address;
  }
  if (::inet_pton(AF_INET, host.c_str(), &address) == 1) return address;
  std::optional<Lookup> found = callWithin(timeLimit, [host] {
    Lookup lookup;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &list);
    if (result != 0 || list == nullptr) {
      lookup.error = lookupNumber(result);
    } else {
      lookup.address = reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr;
      ::freeaddrinfo(list);
    }
    return lookup;
  });
  if (!found) fail(wsa::tryAgain);
  if (found->error != 0) fail(found->error);
  return found->address;
}

// The socket stays non-blocking after the connect, so every wait goes through poll and is bounded.
class PosixConnection final : public Connection {
public:
  explicit PosixConnection(int fd) : fd_(fd) {}
  ~PosixConnection() override { close(); }

  void send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeLimit) override {
    const Deadline deadline(timeLimit);
    while (!bytes.empty()) {
      ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent > 0) {
        bytes = bytes.subspan(static_cast<std::size_t>(sent));
        continue;
      }
      if (sent < 0 && errno == EINTR) continue;
      if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) fail(winsockNumber(errno));
      if (waitFor(fd_, POLLOUT, deadline.left()) == 0) fail(wsa::timedOut);
    }
  }

  std::optional<std::size_t> receive(std::span<std::uint8_t> into, std::chrono::milliseconds wait) override {
    for (;;) {
      ssize_t got = ::recv(fd_, into.data(), into.size(), 0);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) fail(winsockNumber(errno));
      if (waitFor(fd_, POLLIN, wait) == 0) return std::nullopt;
    }
  }

  void close() override {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

private:
  int fd_;
};

class PosixNetwork final : public Network {
public:
  std::unique_ptr<Connection> connect(const std::string& host, std::uint16_t port,
                                      std::chrono::milliseconds timeLimit) override {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    const Deadline deadline(timeLimit);
    target.sin_addr = resolve(host, timeLimit);

    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) fail(winsockNumber(errno));
    auto connection = std::make_unique<PosixConnection>(fd);
    // The head goes out in one write; Nagle would only hold back its last segment.
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);

    if (::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
      if (errno != EINPROGRESS) fail(winsockNumber(errno));
      if (waitFor(fd, POLLOUT, deadline.left()) == 0) fail(wsa::timedOut);
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
