// The buffer pump between a TLS engine and the network: the engine only turns bytes into bytes,
// and every byte that crosses the network goes through here, so every wait keeps its bound.
#include "http/tls_connection.h"

#include "platform/deadline.h"
#include "platform/error.h"
#include "platform/socket_error.h"
#include "platform/tls_error.h"

#include <algorithm>
#include <cstring>

namespace glimor::http {
namespace {

using platform::Deadline;
using std::chrono::milliseconds;

// What one read from the network may bring; enough for a few whole records.
constexpr std::size_t pullSize = 65536;
// Records are sealed into one buffer and sent together once it holds this much.
constexpr std::size_t sendBatch = 65536;

class TlsConnection final : public platform::Connection {
public:
  TlsConnection(std::unique_ptr<TlsEngine> engine, std::unique_ptr<Connection> tcp, std::string host)
      : engine_(std::move(engine)), tcp_(std::move(tcp)), host_(std::move(host)) {}

  void handshake(milliseconds timeLimit) {
    const Deadline end(timeLimit);
    for (;;) {
      std::size_t used = 0;
      TlsEngine::Handshake step{};
      try {
        step = engine_->handshake(unread(), used, output_);
      } catch (const Error&) {
        alert(end);
        throw;
      }
      take(used);
      flush(end);
      if (step == TlsEngine::Handshake::Done) return;
      if (step == TlsEngine::Handshake::Again) {
        if (end.passed()) throw Error(platform::socketErrorMessage(platform::wsa::timedOut));
        continue;
      }
      if (!pull(end)) throw Error(platform::socketErrorMessage(platform::wsa::timedOut));
      if (closed_) throw Error(platform::tls_error::handshake(host_, "the service closed the connection"));
    }
  }

  void send(std::span<const std::uint8_t> bytes, milliseconds timeLimit) override {
    const Deadline end(timeLimit);
    const std::size_t record = std::clamp<std::size_t>(engine_->maxRecordPlain(), 1, largestRecordPlain);
    output_.reserve(sendBatch + record + 1024);
    while (!bytes.empty()) {
      while (!bytes.empty() && output_.size() < sendBatch) {
        const std::size_t piece = std::min(bytes.size(), record);
        engine_->seal(bytes.first(piece), output_);
        bytes = bytes.subspan(piece);
      }
      flush(end);
    }
  }

  std::optional<std::size_t> receive(std::span<std::uint8_t> into, milliseconds wait) override {
    const Deadline end(wait);
    for (;;) {
      if (plainAt_ < plain_.size()) {
        const std::size_t n = std::min(into.size(), plain_.size() - plainAt_);
        std::memcpy(into.data(), plain_.data() + plainAt_, n);
        plainAt_ += n;
        return n;
      }
      if (ended_) return 0;
      plain_.clear();
      plainAt_ = 0;
      std::size_t used = 0;
      const TlsEngine::Opened opened = engine_->open(unread(), used, plain_, output_);
      take(used);
      flush(end);
      if (opened == TlsEngine::Opened::Closed) ended_ = true;
      if (!plain_.empty() || ended_ || (opened == TlsEngine::Opened::Plain && used > 0)) continue;
      // Closed under TLS without its close_notify: whatever was to follow may have been cut away.
      if (closed_) throw Error(std::string(platform::cutOffText));
      if (!pull(end)) return std::nullopt;
    }
  }

  void close() override { tcp_->close(); }

private:
  std::span<std::uint8_t> unread() { return std::span(input_).subspan(inputStart_, inputEnd_ - inputStart_); }

  void take(std::size_t used) {
    inputStart_ += std::min(used, inputEnd_ - inputStart_);
    if (inputStart_ == inputEnd_) inputStart_ = inputEnd_ = 0;
  }

  // Sends what the engine has written.
  void flush(const Deadline& end) {
    if (output_.empty()) return;
    tcp_->send(output_, end.left());
    output_.clear();
  }

  // Sends what a refusing engine wrote (its alert tells the service why), but the refusal is what
  // the user reads, not a failure to send it.
  void alert(const Deadline& end) {
    try {
      flush(end);
    } catch (const Error&) {
    }
  }

  // Reads what the network has behind the unread input; false when the wait expired. A closed
  // connection sets `closed_`.
  bool pull(const Deadline& end) {
    if (inputStart_ > 0) {
      std::memmove(input_.data(), input_.data() + inputStart_, inputEnd_ - inputStart_);
      inputEnd_ -= inputStart_;
      inputStart_ = 0;
    }
    if (input_.size() < inputEnd_ + pullSize) input_.resize(inputEnd_ + pullSize);
    const std::optional<std::size_t> got =
        tcp_->receive(std::span(input_).subspan(inputEnd_, pullSize), end.left());
    if (!got) return false;
    if (*got == 0) closed_ = true;
    inputEnd_ += *got;
    return true;
  }

  std::unique_ptr<TlsEngine> engine_;
  std::unique_ptr<Connection> tcp_;
  std::string host_;
  TlsEngine::Bytes input_; // received; [inputStart_, inputEnd_) not yet taken by the engine
  std::size_t inputStart_ = 0, inputEnd_ = 0;
  TlsEngine::Bytes output_; // sealed, not yet sent
  TlsEngine::Bytes plain_;  // opened, not yet read
  std::size_t plainAt_ = 0;
  bool closed_ = false; // the TCP connection is closed
  bool ended_ = false;  // the service ended TLS (close_notify)
};

} // namespace

std::unique_ptr<platform::Connection> secureOver(std::unique_ptr<TlsEngine> engine,
                                                 std::unique_ptr<platform::Connection> tcp,
                                                 const std::string& host, milliseconds timeLimit) {
  auto connection = std::make_unique<TlsConnection>(std::move(engine), std::move(tcp), host);
  connection->handshake(timeLimit);
  return connection;
}

} // namespace glimor::http
