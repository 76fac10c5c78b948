#include "http/http_client.h"

#include "http/receive_answer.h"
#include "http/request_head.h"
#include "http/url.h"
#include "platform/error.h"

namespace glimor::http {
namespace {

class ConnectionStream final : public ByteStream {
public:
  explicit ConnectionStream(platform::Connection& connection) : connection_(connection) {}
  std::optional<std::size_t> read(std::span<std::uint8_t> into, std::chrono::milliseconds wait) override {
    return connection_.receive(into, wait);
  }

private:
  platform::Connection& connection_;
};

} // namespace

void HttpClient::Post(std::string_view url, std::span<const std::uint8_t> body, Bytes& answer) {
  Url target = splitUrl(url);
  // Every POST goes out as HTTP/1.0 on a connection of its own.
  if (connection_) connection_->close();
  connection_.reset();
  lastAnswer_ = AnswerHead{};

  connection_ = network_.connect(target.host, target.port, limits_.connect);
  try {
    ConnectionStream stream(*connection_);
    try {
      sendRequest(target, body);
    } catch (const Error& sendFailure) {
      // A server that refuses a request may answer and close before it has taken all of it;
      // its answer then says more than the broken connection.
      Limits afterFailure = limits_;
      afterFailure.readIdle = limits_.discardIdle;
      try {
        receiveAnswer(stream, afterFailure, cookies_, target.host, lastAnswer_, answer);
      } catch (const Error&) {
        if (lastAnswer_.statusLine.empty()) throw sendFailure;
        throw;
      }
      keepOrClose();
      return;
    }
    receiveAnswer(stream, limits_, cookies_, target.host, lastAnswer_, answer);
  } catch (...) {
    keepOrClose();
    throw;
  }
  keepOrClose();
}

void HttpClient::sendRequest(const Url& target, std::span<const std::uint8_t> body) {
  std::string head = buildRequestHead(config_, target, body.size(), cookies_.cookieHeaderFor(target.host));
  connection_->send(std::span(reinterpret_cast<const std::uint8_t*>(head.data()), head.size()),
                    limits_.sendIdle);
  for (std::size_t at = 0; at < body.size(); at += bodyWriteSize)
    connection_->send(body.subspan(at, std::min(bodyWriteSize, body.size() - at)), limits_.sendIdle);
}

// The connection stays open only when the answer asked for it; the next Post closes it anyway.
void HttpClient::keepOrClose() {
  for (const char* name : {"Connection", "Proxy-Connection"}) {
    std::optional<std::string> value = lastAnswer_.header(name);
    if (value && equalsIgnoringCase(*value, "keep-alive")) return;
  }
  if (connection_) connection_->close();
  connection_.reset();
}

} // namespace glimor::http
