#include "support/scripted_server.h"

#include <chrono>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using SocketHandle = SOCKET;
using socklen_t = int;
constexpr int noSignal = 0;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
using SocketHandle = int;
constexpr SocketHandle INVALID_SOCKET = -1;
constexpr int noSignal = MSG_NOSIGNAL;
#endif

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace glimor::testing {
namespace {

constexpr int waitLimitMs = 10000;

void closeSocket(SocketHandle s) {
#ifdef _WIN32
  ::closesocket(s);
#else
  ::close(s);
#endif
}

void startSockets() {
#ifdef _WIN32
  static const bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("WSAStartup failed");
#endif
}

bool readable(SocketHandle s, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval tv{ms / 1000, (ms % 1000) * 1000};
  return ::select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &tv) > 0;
}

// Bytes from `s`, or 0 when the client closed, failed or went quiet for too long.
int receiveSome(SocketHandle s, char* buffer, int size) {
  if (!readable(s, waitLimitMs)) return 0;
  int got = ::recv(s, buffer, size, 0);
  return got > 0 ? got : 0;
}

bool sendAll(SocketHandle s, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    int sent = ::send(s, bytes.data() + done, static_cast<int>(bytes.size() - done), noSignal);
    if (sent <= 0) return false;
    done += static_cast<std::size_t>(sent);
  }
  return true;
}

std::size_t declaredLength(const std::string& head) {
  std::string lower = head;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  std::size_t at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos) return 0;
  return std::stoul(head.substr(at + 17));
}

std::string receiveRequestBytes(SocketHandle s, bool wholeBody) {
  std::string request;
  char buffer[65536];
  std::size_t headEnd = std::string::npos;
  while (headEnd == std::string::npos) {
    int got = receiveSome(s, buffer, sizeof buffer);
    if (got == 0) return request;
    request.append(buffer, static_cast<std::size_t>(got));
    headEnd = request.find("\r\n\r\n");
  }
  if (!wholeBody) return request;
  std::size_t total = headEnd + 4 + declaredLength(request.substr(0, headEnd + 2));
  while (request.size() < total) {
    int got = receiveSome(s, buffer, sizeof buffer);
    if (got == 0) break;
    request.append(buffer, static_cast<std::size_t>(got));
  }
  return request;
}

} // namespace

ScriptedServer::ScriptedServer(std::vector<std::vector<ServerAction>> scripts) {
  startSockets();
  SocketHandle listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t size = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 8) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    closeSocket(listener);
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  listener_ = static_cast<std::uintptr_t>(listener);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this, scripts = std::move(scripts)]() mutable { serve(std::move(scripts)); });
}

ScriptedServer::~ScriptedServer() {
  if (thread_.joinable()) thread_.join();
  closeSocket(static_cast<SocketHandle>(listener_));
}

std::string ScriptedServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> ScriptedServer::requests() {
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  return requests_;
}

void ScriptedServer::serve(std::vector<std::vector<ServerAction>> scripts) {
  SocketHandle listener = static_cast<SocketHandle>(listener_);
  for (const std::vector<ServerAction>& script : scripts) {
    if (!readable(listener, waitLimitMs)) return;
    SocketHandle s = ::accept(listener, nullptr, nullptr);
    if (s == INVALID_SOCKET) return;
    bool open = true;
    for (const ServerAction& action : script) {
      switch (action.kind) {
      case ServerAction::Kind::ReceiveRequest:
      case ServerAction::Kind::ReceiveHead: {
        std::string request = receiveRequestBytes(s, action.kind == ServerAction::Kind::ReceiveRequest);
        std::lock_guard lock(mutex_);
        requests_.push_back(std::move(request));
        break;
      }
      case ServerAction::Kind::Send:
        sendAll(s, action.bytes);
        break;
      case ServerAction::Kind::SendEndlessly:
        // Until the client gives up and closes; 256 MiB at most.
        for (std::size_t sent = 0; sent < (256u << 20) && sendAll(s, action.bytes);
             sent += action.bytes.size()) {
        }
        break;
      case ServerAction::Kind::Drip:
        for (std::size_t i = 0; i < 600 && sendAll(s, action.bytes.substr(i % action.bytes.size(), 1)); ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
        break;
      case ServerAction::Kind::AwaitClientClose: {
        char buffer[4096];
        while (receiveSome(s, buffer, sizeof buffer) > 0) {
        }
        break;
      }
      case ServerAction::Kind::Reset: {
        linger hard{1, 0}; // closing with a zero linger time sends RST instead of FIN
        ::setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
        closeSocket(s);
        open = false;
        break;
      }
      case ServerAction::Kind::Close:
        closeSocket(s);
        open = false;
        break;
      }
      if (!open) break;
    }
    if (open) closeSocket(s);
  }
}

std::uint16_t ScriptedServer::closedPort() {
  startSockets();
  SocketHandle s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  closeSocket(s);
  return ntohs(address.sin_port);
}

} // namespace glimor::testing
