#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace glimor::testing {

// One thing the server does on a connection, in script order.
struct ServerAction {
  enum class Kind { ReceiveRequest, ReceiveHead, Send, Close, Reset, AwaitClientClose, SendEndlessly, Drip };
  Kind kind;
  std::string bytes;
};

inline ServerAction receiveRequest() {
  return {ServerAction::Kind::ReceiveRequest, {}};
}
inline ServerAction receiveHead() {
  return {ServerAction::Kind::ReceiveHead, {}};
}
inline ServerAction sendBytes(std::string bytes) {
  return {ServerAction::Kind::Send, std::move(bytes)};
}
inline ServerAction closeConnection() {
  return {ServerAction::Kind::Close, {}};
}
inline ServerAction resetConnection() {
  return {ServerAction::Kind::Reset, {}};
}
inline ServerAction awaitClientClose() {
  return {ServerAction::Kind::AwaitClientClose, {}};
}
inline ServerAction sendEndlessly(std::string bytes) {
  return {ServerAction::Kind::SendEndlessly, std::move(bytes)};
}
// The bytes again and again, one byte every 100 ms, until the client closes (at most 60 s).
inline ServerAction drip(std::string bytes) {
  return {ServerAction::Kind::Drip, std::move(bytes)};
}

// A raw TCP server on 127.0.0.1 and a free port that plays one script per accepted connection:
// it records the exact request bytes (head and Content-Length bytes of body) and answers with
// exact bytes. It listens before the constructor returns, so a client may connect at once.
// Every wait of its own is bounded, so a misbehaving client cannot hang a test.
class ScriptedServer {
public:
  explicit ScriptedServer(std::vector<std::vector<ServerAction>> scripts);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  std::uint16_t port() const { return port_; }
  std::string url(const std::string& path) const;

  // Waits until every script has run; then the requests, one per ReceiveRequest, in order.
  std::vector<std::string> requests();

  // A port on 127.0.0.1 on which nothing listens.
  static std::uint16_t closedPort();

private:
  void serve(std::vector<std::vector<ServerAction>> scripts);

  std::uintptr_t listener_;
  std::uint16_t port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
};

} // namespace glimor::testing
