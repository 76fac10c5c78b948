#pragma once
#include "platform/socket.h"

#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace glimor::fakes {

// What the server side of one fake connection does when the client reads.
struct ServerStep {
  // Hold: the server keeps silent until the client calls the exchange off (at most 10 s).
  enum class Kind { Data, Silence, Failure, Hold };
  Kind kind = Kind::Data;
  std::string bytes; // the data, or the failure's message
};

inline ServerStep data(std::string bytes) {
  return {ServerStep::Kind::Data, std::move(bytes)};
}
inline ServerStep silence() {
  return {ServerStep::Kind::Silence, {}};
}
inline ServerStep failure(std::string message) {
  return {ServerStep::Kind::Failure, std::move(message)};
}
inline ServerStep hold() {
  return {ServerStep::Kind::Hold, {}};
}

// Everything the client did on one connection.
struct ConnectionRecord {
  std::string host;
  std::uint16_t port = 0;
  std::string sent;
  std::vector<std::size_t> sendSizes; // one entry per send call
  std::vector<std::chrono::milliseconds> receiveWaits;
  bool closed = false;
};

// A network whose connections play scripted answers: each connect takes the next script; when a
// script runs out the server has closed. Records what the client sent and how long it waited.
class FakeNetwork final : public platform::Network {
public:
  void script(std::vector<ServerStep> steps) { scripts_.push_back(std::move(steps)); }
  void answer(std::string bytes) { script({data(std::move(bytes))}); }
  void failConnect(std::string message) { connectFailure_ = std::move(message); }

  std::unique_ptr<platform::Connection> connect(const std::string& host, std::uint16_t port,
                                                std::chrono::milliseconds timeLimit,
                                                const platform::CancelToken& cancel) override;

  std::vector<std::shared_ptr<ConnectionRecord>> connections;
  std::chrono::milliseconds lastConnectLimit{};

private:
  std::deque<std::vector<ServerStep>> scripts_;
  std::string connectFailure_;
};

} // namespace glimor::fakes
