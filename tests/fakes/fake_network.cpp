#include "fakes/fake_network.h"

#include "platform/error.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace glimor::fakes {
namespace {

class FakeConnection final : public platform::Connection {
public:
  FakeConnection(std::shared_ptr<ConnectionRecord> record, std::vector<ServerStep> steps,
                 const platform::CancelToken& cancel)
      : record_(std::move(record)), steps_(steps.begin(), steps.end()), cancel_(cancel) {}

  void send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds) override {
    if (record_->closed) throw Error("send on a closed connection");
    record_->sent.append(bytes.begin(), bytes.end());
    record_->sendSizes.push_back(bytes.size());
  }

  std::optional<std::size_t> receive(std::span<std::uint8_t> into, std::chrono::milliseconds wait) override {
    if (record_->closed) throw Error("receive on a closed connection");
    // A server answers a request: before one, it has nothing to say unless it has closed.
    if (record_->sent.empty() && !steps_.empty()) return std::nullopt;
    record_->receiveWaits.push_back(wait);
    while (!steps_.empty() && steps_.front().kind == ServerStep::Kind::Data && steps_.front().bytes.empty())
      steps_.pop_front();
    if (steps_.empty()) return 0;
    ServerStep& step = steps_.front();
    if (step.kind == ServerStep::Kind::Silence) {
      steps_.pop_front();
      return std::nullopt;
    }
    if (step.kind == ServerStep::Kind::Failure) throw Error(step.bytes);
    if (step.kind == ServerStep::Kind::Hold) {
      // The real connections' waits, without the sockets.
      platform::waitUnlessCancelled(std::chrono::seconds(10), cancel_, [](std::chrono::milliseconds slice) {
        std::this_thread::sleep_for(slice);
        return false;
      });
      steps_.pop_front();
      return std::nullopt;
    }
    std::size_t n = std::min(into.size(), step.bytes.size());
    std::memcpy(into.data(), step.bytes.data(), n);
    step.bytes.erase(0, n);
    return n;
  }

  void close() override { record_->closed = true; }

private:
  std::shared_ptr<ConnectionRecord> record_;
  std::deque<ServerStep> steps_;
  const platform::CancelToken& cancel_;
};

} // namespace

std::unique_ptr<platform::Connection> FakeNetwork::connect(const std::string& host, std::uint16_t port,
                                                           std::chrono::milliseconds timeLimit,
                                                           const platform::CancelToken& cancel) {
  lastConnectLimit = timeLimit;
  if (!connectFailure_.empty()) throw Error(connectFailure_);
  auto record = std::make_shared<ConnectionRecord>();
  record->host = host;
  record->port = port;
  connections.push_back(record);
  std::vector<ServerStep> steps;
  if (!scripts_.empty()) {
    steps = std::move(scripts_.front());
    scripts_.pop_front();
  }
  return std::make_unique<FakeConnection>(record, std::move(steps), cancel);
}

} // namespace glimor::fakes
