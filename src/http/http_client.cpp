#include "http/http_client.h"

#include "http/receive_answer.h"
#include "http/request_head.h"
#include "http/url.h"
#include "platform/ascii_case.h"
#include "platform/error.h"

namespace glimor::http {
namespace {

Error exchangeTooLong(std::chrono::milliseconds total) {
  return Error("The exchange with the service did not finish within " +
               std::to_string(std::chrono::duration_cast<std::chrono::seconds>(total).count()) + " seconds.");
}

// Every wait of the exchange is cut to what is left of its total time.
class ConnectionStream final : public ByteStream {
public:
  ConnectionStream(platform::Connection& connection, const platform::Deadline& deadline,
                   std::chrono::milliseconds total)
      : connection_(connection), deadline_(deadline), total_(total) {}
  std::optional<std::size_t> read(std::span<std::uint8_t> into, std::chrono::milliseconds wait) override {
    std::optional<std::size_t> got = connection_.receive(into, deadline_.cut(wait));
    if (!got && deadline_.passed()) throw exchangeTooLong(total_);
    return got;
  }

private:
  platform::Connection& connection_;
  const platform::Deadline& deadline_;
  std::chrono::milliseconds total_;
};

} // namespace

void HttpClient::Send(std::string_view url, const RequestShape& shape, std::span<const std::uint8_t> body,
                      Bytes& answer) {
  Url target = splitUrl(url);
  // Every POST goes out as HTTP/1.0 on a connection of its own: a new one, or one opened for it.
  const bool ahead = takeAhead(target);
  if (!ahead && connection_) {
    connection_->close();
    connection_.reset();
  }
  lastAnswer_ = AnswerHead{};
  lastRefusedBody_.clear();
  cancel_.throwIfCancelled();

  const std::chrono::milliseconds total = limits_.totalFor(body.size());
  const platform::Deadline deadline(total);
  try {
    if (!ahead) open(target, deadline);
  } catch (const Error&) {
    if (deadline.passed()) throw exchangeTooLong(total);
    throw;
  }
  try {
    ConnectionStream stream(*connection_, deadline, total);
    try {
      sendRequest(target, shape, body, deadline);
    } catch (const platform::Cancelled&) {
      throw; // called off: there is no answer to wait for
    } catch (const Error& sendFailure) {
      if (deadline.passed()) throw exchangeTooLong(total);
      // A server that refuses a request may answer and close before it has taken all of it;
      // its answer then says more than the broken connection.
      Limits afterFailure = limits_;
      afterFailure.readIdle = limits_.discardIdle;
      try {
        receiveAnswer(stream, afterFailure, cookies_, target.host, lastAnswer_, answer, &lastRefusedBody_);
      } catch (const Error&) {
        if (lastAnswer_.statusLine.empty()) throw sendFailure;
        throw;
      }
      // A success for a request the server never had whole is no success.
      answer.clear();
      throw sendFailure;
    }
    receiveAnswer(stream, limits_, cookies_, target.host, lastAnswer_, answer, &lastRefusedBody_);
  } catch (...) {
    keepOrClose();
    // A called-off exchange leaves nothing open behind it, whatever its answer said.
    if (cancel_.cancelled() && connection_) {
      connection_->close();
      connection_.reset();
    }
    throw;
  }
  keepOrClose();
}

void HttpClient::open(const Url& target, const platform::Deadline& deadline) {
  if (target.secure() && !tls_.tls) throw Error("Protocol not supported: " + target.protocol);
  connection_ = network_.connect(target.host, target.port, deadline.cut(limits_.connect), cancel_);
  if (target.secure())
    connection_ = tls_.tls->secure(std::move(connection_), target.host, tls_.trustAnchorFile,
                                   deadline.cut(limits_.connect));
}

void HttpClient::sendRequest(const Url& target, const RequestShape& shape, std::span<const std::uint8_t> body,
                             const platform::Deadline& deadline) {
  std::string head =
      buildRequestHead(config_, target, body.size(), cookies_.cookieHeaderFor(target.host), shape);
  connection_->send(std::span(reinterpret_cast<const std::uint8_t*>(head.data()), head.size()),
                    deadline.cut(limits_.sendIdle));
  for (std::size_t at = 0; at < body.size(); at += bodyWriteSize)
    connection_->send(body.subspan(at, std::min(bodyWriteSize, body.size() - at)),
                      deadline.cut(limits_.sendIdle));
}

namespace {
std::string placeOf(const Url& target) {
  return target.protocol + "://" + target.host + ":" + std::to_string(target.port);
}
} // namespace

void HttpClient::openAhead(std::string_view url) {
  if (connection_) connection_->close();
  connection_.reset();
  aheadFor_.clear();
  try {
    const Url target = splitUrl(url);
    open(target, platform::Deadline(limits_.connect));
    aheadFor_ = placeOf(target);
    aheadAt_ = std::chrono::steady_clock::now();
  } catch (...) {
    connection_.reset(); // the exchange itself will try, and say what fails
  }
}

bool HttpClient::takeAhead(const Url& target) {
  bool fresh =
      connection_ && aheadFor_ == placeOf(target) && std::chrono::steady_clock::now() - aheadAt_ < aheadKept;
  aheadFor_.clear();
  // One the server has closed meanwhile (it sheds idle connections when many are open) has
  // something to read already: its end.
  std::uint8_t probe[1];
  try {
    if (fresh && connection_->receive(probe, std::chrono::milliseconds(0))) fresh = false;
  } catch (const Error&) {
    fresh = false;
  }
  return fresh;
}

// The connection stays open only when the answer asked for it; the next Post closes it anyway.
void HttpClient::keepOrClose() {
  for (const char* name : {"Connection", "Proxy-Connection"}) {
    std::optional<std::string> value = lastAnswer_.header(name);
    if (value && ascii::equalsIgnoringCase(*value, "keep-alive")) return;
  }
  if (connection_) connection_->close();
  connection_.reset();
}

} // namespace glimor::http
