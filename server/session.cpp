#include "session.h"

#include "platform/error.h"
#include "refusal.h"
#include "request_log.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl/error.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/detect_ssl.hpp>
#include <boost/beast/core/string.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>
#include <iterator>
#include <limits>

namespace glimor::server {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

namespace {

constexpr std::size_t headerLimit = 16 * 1024;
constexpr std::ptrdiff_t maxHeaderLines = 64;
// A slow client gets `timeout` for every pause, but no more than ten of them
// in total for one body.
constexpr int bodyTimeoutFactor = 10;
// After refusing a body unread, read and discard at most this much of it, so
// that a client which sends everything before reading still sees the answer.
constexpr std::uint64_t drainLimit = 256ull << 20;
constexpr auto drainTime = std::chrono::seconds(10);
// How long a TLS client has to answer the close_notify that ends a connection.
constexpr auto closeNotifyTime = std::chrono::seconds(2);
// A streamed body is read and sent in parts of this size, one at a time.
constexpr std::size_t partSize = 256 * 1024;

// The whole answer to a plain HTTP request on the HTTPS port. Glimor shows the
// status line to its user, so it says what to change.
const std::string& plainHttpAnswer() {
  static const std::string answer = [] {
    std::string reason = "This service speaks HTTPS, use https://";
    return "HTTP/1.1 400 " + reason +
           "\r\nServer: glimor-server\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           std::to_string(reason.size() + 2) + "\r\nConnection: close\r\n\r\n" + reason + "\r\n";
  }();
  return answer;
}

std::string endpointText(const asio::ip::tcp::endpoint& endpoint, bool withPort) {
  std::string address = endpoint.address().to_string();
  if (!withPort) return address;
  if (endpoint.address().is_v6()) address = "[" + address + "]";
  return address + ":" + std::to_string(endpoint.port());
}

} // namespace

template <typename Stream>
Session<Stream>::Session(Stream stream, Service& service, Connections& connections,
                         asio::thread_pool& diskWork)
    : stream_(std::move(stream)), service_(service), connections_(connections), diskWork_(diskWork) {
  beast::error_code error;
  auto remote = tcp().socket().remote_endpoint(error);
  clientAddress_ = error ? "unknown" : endpointText(remote, false);
  auto local = tcp().socket().local_endpoint(error);
  localAddress_ = error ? "localhost" : endpointText(local, true);
}

template <typename Stream> Session<Stream>::~Session() {
  releaseBody();
  if (handle_) connections_.remove(*handle_);
}

template <typename Stream> void Session<Stream>::releaseBody() {
  connections_.releaseBody(bodyBytesReserved_);
  bodyBytesReserved_ = 0;
}

template <typename Stream> void Session<Stream>::start() {
  handle_ = connections_.add(this->weak_from_this());
  asio::dispatch(stream_.get_executor(), [self = this->shared_from_this()] {
    if constexpr (overTls)
      self->detectTls();
    else
      self->waitForRequest();
  });
}

// The handshake counts as idle time: a stop closes the connection at once, and
// the whole handshake must be done within one `timeout`.
template <typename Stream> void Session<Stream>::detectTls() {
  idle_ = true;
  tcp().expires_after(timeout());
  beast::async_detect_ssl(tcp(), buffer_,
                          [self = this->shared_from_this()](beast::error_code error, bool isTls) {
                            self->onDetected(error, isTls);
                          });
}

template <typename Stream> void Session<Stream>::onDetected(beast::error_code error, bool isTls) {
  if constexpr (overTls) {
    // A connection closed before its first byte is a port probe, not worth a line.
    if (error == asio::error::eof && buffer_.size() == 0) return close();
    if (error) return onHandshake(error, 0);
    if (!isTls) return refusePlainHttp();
    stream_.async_handshake(asio::ssl::stream_base::server, buffer_.data(),
                            [self = this->shared_from_this()](beast::error_code error, std::size_t used) {
                              self->onHandshake(error, used);
                            });
  }
}

template <typename Stream> void Session<Stream>::onHandshake(beast::error_code error, std::size_t bytesUsed) {
  idle_ = false;
  if (error) {
    if (!(connections_.stopping() && error == asio::error::operation_aborted))
      logMessage(clientAddress_ + ": TLS handshake failed: " + error.message());
    return close();
  }
  buffer_.consume(bytesUsed);
  waitForRequest();
}

// The answer is written as plain text under the TLS layer, then the rest of the
// request is read and dropped so that the client sees the answer.
template <typename Stream> void Session<Stream>::refusePlainHttp() {
  idle_ = false;
  asio::async_write(tcp(), asio::buffer(plainHttpAnswer()),
                    [self = this->shared_from_this()](beast::error_code error, std::size_t) {
                      logMessage(self->clientAddress_ +
                                 ": plain HTTP request on the HTTPS port: answered 400");
                      if (error) return self->close();
                      beast::error_code ignored;
                      self->tcp().socket().shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
                      self->tcp().expires_after(drainTime);
                      self->drainBudget_ = drainLimit;
                      self->drain();
                    });
}

template <typename Stream> void Session<Stream>::closeWhenIdle() {
  asio::post(stream_.get_executor(), [self = this->shared_from_this()] {
    if (self->idle_) self->close();
  });
}

template <typename Stream> void Session<Stream>::waitForRequest() {
  releaseBody();
  method_ = target_ = "-";
  version_ = 11;
  head_ = false;
  parser_.reset();
  if (buffer_.size() > 0) { // a pipelined request is already here
    started_ = std::chrono::steady_clock::now();
    readHeader();
    return;
  }
  if (connections_.stopping()) return finish();
  idle_ = true;
  tcp().expires_after(timeout());
  stream_.async_read_some(buffer_.prepare(4096),
                          [self = this->shared_from_this()](beast::error_code error, std::size_t n) {
                            self->onFirstBytes(error, n);
                          });
}

template <typename Stream> void Session<Stream>::onFirstBytes(beast::error_code error, std::size_t bytes) {
  idle_ = false;
  if (error) return close(); // the client left, was idle too long, or the service stops
  buffer_.commit(bytes);
  started_ = std::chrono::steady_clock::now();
  readHeader();
}

template <typename Stream> void Session<Stream>::readHeader() {
  parser_.emplace();
  parser_->header_limit(headerLimit);
  // The body's limit depends on the target; onHeader checks it once the header is in.
  parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
  tcp().expires_after(timeout());
  http::async_read_header(
      stream_, buffer_, *parser_,
      [self = this->shared_from_this()](beast::error_code error, std::size_t) { self->onHeader(error); });
}

template <typename Stream> void Session<Stream>::onHeader(beast::error_code error) {
  if (error == http::error::header_limit) return refuseBeforeBody(431, "Request header too large");
  // A timed-out stream is already closed by Beast, so a slow client gets no answer.
  if (error == beast::error::timeout) return close();
  if (error == http::error::end_of_stream || error == http::error::partial_message ||
      error == asio::error::eof || error == asio::error::operation_aborted ||
      error == asio::error::connection_reset || error == asio::ssl::error::stream_truncated)
    return close();
  if (error) {
    logMessage(clientAddress_ + ": malformed request: " + error.message());
    return refuseBeforeBody(400, "Malformed request");
  }

  const auto& header = parser_->get();
  version_ = header.version();
  method_ = std::string(header.method_string());
  target_ = std::string(header.target());
  head_ = header.method() == http::verb::head;

  if (std::distance(header.begin(), header.end()) > maxHeaderLines)
    return refuseBeforeBody(431, "Too many header lines");
  if (header.count(http::field::host) > 1) return refuseBeforeBody(400, "More than one Host line");

  std::uint64_t limit = bodyLimit(service_.config, target_);
  auto length = parser_->content_length();
  if (header.method() == http::verb::post && !length && !parser_->chunked())
    return refuseBeforeBody(411, "Content-Length required");
  if (length && *length > limit) {
    if (target_.starts_with("/guestglimor.php"))
      return refuseBeforeBody(413, "Upload larger than " + std::to_string(service_.config.maxUploadBytes) +
                                       " bytes");
    return refuseBeforeBody(413, "Request body too large");
  }
  std::uint64_t claim = length ? *length : limit;
  if (!connections_.reserveBody(claim))
    return refuseBeforeBody(429, "Too many uploads at once, try again later");
  bodyBytesReserved_ = claim;
  parser_->body_limit(limit);
  bodyDeadline_ = std::chrono::steady_clock::now() + timeout() * bodyTimeoutFactor;

  if (parser_->is_done()) return handleRequest();
  if (beast::iequals(header[http::field::expect], "100-continue")) return sendContinue();
  readBody();
}

template <typename Stream> void Session<Stream>::sendContinue() {
  continue_.emplace(http::status::continue_, version_);
  tcp().expires_after(timeout());
  http::async_write(stream_, *continue_,
                    [self = this->shared_from_this()](beast::error_code error, std::size_t) {
                      if (error) return self->close();
                      self->readBody();
                    });
}

template <typename Stream> void Session<Stream>::readBody() {
  tcp().expires_after(timeout());
  http::async_read_some(
      stream_, buffer_, *parser_,
      [self = this->shared_from_this()](beast::error_code error, std::size_t) { self->onBody(error); });
}

template <typename Stream> void Session<Stream>::onBody(beast::error_code error) {
  if (error == http::error::body_limit) return refuseBeforeBody(413, "Request body too large");
  if (error) {
    logRequest({clientAddress_, method_, target_ + " (body incomplete)", 0, 0,
                std::chrono::steady_clock::now() - started_});
    return close();
  }
  if (!parser_->is_done()) {
    if (std::chrono::steady_clock::now() > bodyDeadline_)
      return refuseBeforeBody(408, "Request body not received in time");
    return readBody();
  }
  handleRequest();
}

template <typename Stream> void Session<Stream>::handleRequest() {
  auto message = parser_->release();
  parser_.reset();
  Request request;
  request.method = method_;
  request.target = target_;
  if (auto host = message.find(http::field::host); host != message.end())
    request.host = std::string(host->value());
  request.contentType = std::string(message[http::field::content_type]);
  request.ifNoneMatch = std::string(message[http::field::if_none_match]);
  request.body = std::move(message.body());
  request.clientAddress = clientAddress_;
  request.localAddress = localAddress_;
  request.scheme = overTls ? "https" : "http";
  bool keepAlive = message.keep_alive() && !connections_.stopping();

  auto answerRequest = [this, request = std::move(request)] {
    try {
      return route(service_, request);
    } catch (const std::exception& failure) {
      logMessage(std::string("error: ") + failure.what());
      return textResponse(500, "The service could not complete the request");
    }
  };
  // Reads answer at once unless the store waits for another machine.
  if (method_ != "POST" && !service_.images->readsBlock()) return respond(answerRequest(), keepAlive);
  asio::post(diskWork_, [self = this->shared_from_this(), answerRequest = std::move(answerRequest),
                         keepAlive]() mutable {
    auto response = std::make_shared<Response>(answerRequest());
    asio::post(self->stream_.get_executor(),
               [self, response, keepAlive] { self->respond(std::move(*response), keepAlive); });
  });
}

template <typename Stream> void Session<Stream>::respond(Response response, bool keepAlive, bool drainAfter) {
  response_ = std::move(response);
  Answer& answer = answer_.emplace();
  answer.version(version_);
  answer.result(static_cast<unsigned>(response_.status));
  if (!response_.reason.empty()) answer.reason(response_.reason);
  answer.set(http::field::server, "glimor-server");
  if (!response_.contentType.empty()) answer.set(http::field::content_type, response_.contentType);
  for (const auto& [name, value] : response_.headers) answer.set(name, value);
  std::string_view payload = response_.payload();
  if (response_.status != 304) answer.content_length(response_.payloadSize());
  // HEAD gets the same header lines as GET, without the body.
  bool withBody = !head_ && response_.status != 304;
  if (withBody && !response_.streamedBody) answer.body() = {payload.data(), payload.size()};
  answer.keep_alive(keepAlive);

  // A streamed body follows the header in parts; the header carries its length.
  bool streamed = withBody && response_.streamedBody;
  tcp().expires_after(timeout());
  http::async_write(stream_, answer,
                    [self = this->shared_from_this(), keepAlive, drainAfter,
                     streamed](beast::error_code error, std::size_t) {
                      if (streamed && !error) return self->sendPart(0, keepAlive);
                      self->onWritten(keepAlive, drainAfter, error);
                    });
}

// Each part is read on the disk threads, since reading may wait for another
// machine, and written before the next is read.
template <typename Stream> void Session<Stream>::sendPart(std::uint64_t offset, bool keepAlive) {
  if (offset >= response_.streamedBody->size()) return onWritten(keepAlive, false, {});
  asio::post(diskWork_, [self = this->shared_from_this(), offset, keepAlive] {
    std::string part;
    try {
      part = self->response_.streamedBody->read(offset, partSize);
    } catch (const std::exception& failure) {
      logMessage(std::string("error: ") + failure.what());
    }
    asio::post(self->stream_.get_executor(), [self, offset, keepAlive, part = std::move(part)]() mutable {
      self->part_ = std::move(part);
      self->onPartRead(offset, keepAlive);
    });
  });
}

template <typename Stream> void Session<Stream>::onPartRead(std::uint64_t offset, bool keepAlive) {
  if (part_.empty()) {
    // The header is out, so cutting the connection is the only way left to say
    // that the body is incomplete.
    logRequest({clientAddress_, method_, target_ + " (body cut short)", response_.status, offset,
                std::chrono::steady_clock::now() - started_});
    return close();
  }
  tcp().expires_after(timeout());
  asio::async_write(
      stream_, asio::buffer(part_),
      [self = this->shared_from_this(), offset, keepAlive](beast::error_code error, std::size_t n) {
        if (error) return self->onWritten(keepAlive, false, error);
        self->sendPart(offset + n, keepAlive);
      });
}

template <typename Stream>
void Session<Stream>::onWritten(bool keepAlive, bool drainAfter, beast::error_code error) {
  logRequest({clientAddress_, method_, target_, response_.status,
              head_ ? 0 : static_cast<std::size_t>(response_.payloadSize()),
              std::chrono::steady_clock::now() - started_});
  answer_.reset();
  response_ = {};
  part_ = std::string();
  if (error) return close();
  if (drainAfter) {
    beast::error_code ignored;
    tcp().socket().shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    tcp().expires_after(drainTime);
    return drain();
  }
  if (!keepAlive) return finish();
  waitForRequest();
}

template <typename Stream> void Session<Stream>::refuseBeforeBody(int status, const std::string& reason) {
  // The rest of the request is not read, so the connection cannot carry another one.
  std::uint64_t length = drainLimit;
  if (parser_ && parser_->is_header_done() && parser_->content_length()) length = *parser_->content_length();
  drainBudget_ = std::min(length, drainLimit);
  parser_.reset();
  respond(textResponse(status, reason), false, true);
}

template <typename Stream> void Session<Stream>::drain() {
  // Straight from the socket: over TLS the records are dropped unread as well.
  tcp().async_read_some(asio::buffer(drainBuffer_),
                        [self = this->shared_from_this()](beast::error_code error, std::size_t n) {
                          if (error || n >= self->drainBudget_) return self->close();
                          self->drainBudget_ -= n;
                          self->drain();
                        });
}

// The end of a connection after a complete answer; over TLS it is announced
// with close_notify, so the client can tell it from a cut connection.
template <typename Stream> void Session<Stream>::finish() {
  if constexpr (overTls) {
    idle_ = true;
    tcp().expires_after(closeNotifyTime);
    stream_.async_shutdown([self = this->shared_from_this()](beast::error_code) { self->close(); });
  } else {
    close();
  }
}

template <typename Stream> void Session<Stream>::close() {
  idle_ = false;
  beast::error_code ignored;
  tcp().socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
  tcp().close();
}

template class Session<PlainStream>;
template class Session<TlsStream>;

} // namespace glimor::server
