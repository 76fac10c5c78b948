#include "session.h"

#include "platform/error.h"
#include "refusal.h"
#include "request_log.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
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

std::string endpointText(const asio::ip::tcp::endpoint& endpoint, bool withPort) {
  std::string address = endpoint.address().to_string();
  if (!withPort) return address;
  if (endpoint.address().is_v6()) address = "[" + address + "]";
  return address + ":" + std::to_string(endpoint.port());
}

} // namespace

Session::Session(asio::ip::tcp::socket socket, Service& service, Connections& connections,
                 asio::thread_pool& diskWork)
    : stream_(std::move(socket)), service_(service), connections_(connections), diskWork_(diskWork) {
  beast::error_code error;
  auto remote = stream_.socket().remote_endpoint(error);
  clientAddress_ = error ? "unknown" : endpointText(remote, false);
  auto local = stream_.socket().local_endpoint(error);
  localAddress_ = error ? "localhost" : endpointText(local, true);
}

Session::~Session() {
  releaseBody();
  if (handle_) connections_.remove(*handle_);
}

void Session::releaseBody() {
  connections_.releaseBody(bodyBytesReserved_);
  bodyBytesReserved_ = 0;
}

void Session::start() {
  handle_ = connections_.add(weak_from_this());
  asio::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->waitForRequest(); });
}

void Session::closeWhenIdle() {
  asio::post(stream_.get_executor(), [self = shared_from_this()] {
    if (self->idle_) self->close();
  });
}

void Session::waitForRequest() {
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
  if (connections_.stopping()) return close();
  idle_ = true;
  stream_.expires_after(timeout());
  stream_.async_read_some(
      buffer_.prepare(4096),
      [self = shared_from_this()](beast::error_code error, std::size_t n) { self->onFirstBytes(error, n); });
}

void Session::onFirstBytes(beast::error_code error, std::size_t bytes) {
  idle_ = false;
  if (error) return close(); // the client left, was idle too long, or the service stops
  buffer_.commit(bytes);
  started_ = std::chrono::steady_clock::now();
  readHeader();
}

void Session::readHeader() {
  parser_.emplace();
  parser_->header_limit(headerLimit);
  // The body's limit depends on the target; onHeader checks it once the header is in.
  parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
  stream_.expires_after(timeout());
  http::async_read_header(
      stream_, buffer_, *parser_,
      [self = shared_from_this()](beast::error_code error, std::size_t) { self->onHeader(error); });
}

void Session::onHeader(beast::error_code error) {
  if (error == http::error::header_limit) return refuseBeforeBody(431, "Request header too large");
  // A timed-out stream is already closed by Beast, so a slow client gets no answer.
  if (error == beast::error::timeout) return close();
  if (error == http::error::end_of_stream || error == http::error::partial_message ||
      error == asio::error::eof || error == asio::error::operation_aborted ||
      error == asio::error::connection_reset)
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

void Session::sendContinue() {
  continue_.emplace(http::status::continue_, version_);
  stream_.expires_after(timeout());
  http::async_write(stream_, *continue_, [self = shared_from_this()](beast::error_code error, std::size_t) {
    if (error) return self->close();
    self->readBody();
  });
}

void Session::readBody() {
  stream_.expires_after(timeout());
  http::async_read_some(
      stream_, buffer_, *parser_,
      [self = shared_from_this()](beast::error_code error, std::size_t) { self->onBody(error); });
}

void Session::onBody(beast::error_code error) {
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

void Session::handleRequest() {
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
  bool keepAlive = message.keep_alive() && !connections_.stopping();

  auto answerRequest = [this, request = std::move(request)] {
    try {
      return route(service_, request);
    } catch (const std::exception& failure) {
      logMessage(std::string("error: ") + failure.what());
      return textResponse(500, "The service could not complete the request");
    }
  };
  if (method_ != "POST") return respond(answerRequest(), keepAlive);
  asio::post(diskWork_,
             [self = shared_from_this(), answerRequest = std::move(answerRequest), keepAlive]() mutable {
               auto response = std::make_shared<Response>(answerRequest());
               asio::post(self->stream_.get_executor(),
                          [self, response, keepAlive] { self->respond(std::move(*response), keepAlive); });
             });
}

void Session::respond(Response response, bool keepAlive, bool drainAfter) {
  response_ = std::move(response);
  Answer& answer = answer_.emplace();
  answer.version(version_);
  answer.result(static_cast<unsigned>(response_.status));
  if (!response_.reason.empty()) answer.reason(response_.reason);
  answer.set(http::field::server, "glimor-server");
  if (!response_.contentType.empty()) answer.set(http::field::content_type, response_.contentType);
  for (const auto& [name, value] : response_.headers) answer.set(name, value);
  std::string_view payload = response_.payload();
  if (response_.status != 304) answer.content_length(payload.size());
  // HEAD gets the same header lines as GET, without the body.
  if (!head_ && response_.status != 304) answer.body() = {payload.data(), payload.size()};
  answer.keep_alive(keepAlive);

  stream_.expires_after(timeout());
  http::async_write(stream_, answer,
                    [self = shared_from_this(), keepAlive, drainAfter](beast::error_code error, std::size_t) {
                      self->onWritten(keepAlive, drainAfter, error);
                    });
}

void Session::onWritten(bool keepAlive, bool drainAfter, beast::error_code error) {
  logRequest({clientAddress_, method_, target_, response_.status, head_ ? 0 : response_.payload().size(),
              std::chrono::steady_clock::now() - started_});
  answer_.reset();
  response_ = {};
  if (error) return close();
  if (drainAfter) {
    beast::error_code ignored;
    stream_.socket().shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    stream_.expires_after(drainTime);
    return drain();
  }
  if (!keepAlive) return close();
  waitForRequest();
}

void Session::refuseBeforeBody(int status, const std::string& reason) {
  // The rest of the request is not read, so the connection cannot carry another one.
  std::uint64_t length = drainLimit;
  if (parser_ && parser_->is_header_done() && parser_->content_length()) length = *parser_->content_length();
  drainBudget_ = std::min(length, drainLimit);
  parser_.reset();
  respond(textResponse(status, reason), false, true);
}

void Session::drain() {
  stream_.async_read_some(asio::buffer(drainBuffer_),
                          [self = shared_from_this()](beast::error_code error, std::size_t n) {
                            if (error || n >= self->drainBudget_) return self->close();
                            self->drainBudget_ -= n;
                            self->drain();
                          });
}

void Session::close() {
  idle_ = false;
  beast::error_code ignored;
  stream_.socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
  stream_.close();
}

} // namespace glimor::server
