#include "session.h"

#include "admission.h"
#include "json_text.h"
#include "metrics.h"
#include "platform/ascii_case.h"
#include "platform/error.h"
#include "proxy_header.h"
#include "request_log.h"
#include "routes.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl/error.hpp>
#include <boost/asio/write.hpp>
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
// A slow client gets `timeout` for every pause, but no more than ten of them
// in total for one body.
constexpr int bodyTimeoutFactor = 10;

std::string endpointText(const asio::ip::tcp::endpoint& endpoint, bool withPort) {
  std::string address = endpoint.address().to_string();
  if (!withPort) return address;
  if (endpoint.address().is_v6()) address = "[" + address + "]";
  return address + ":" + std::to_string(endpoint.port());
}

// The Accept line among header lines the parser refused as too many bytes: it
// keeps the request line and the lines it read, the rest stays in the buffer.
std::string_view acceptLineIn(std::string_view lines) {
  for (std::size_t at = 0; at < lines.size();) {
    std::size_t end = lines.find("\r\n", at);
    std::string_view line = lines.substr(at, end == std::string_view::npos ? end : end - at);
    if (ascii::startsWithIgnoringCase(line, "accept:")) return line.substr(7);
    if (end == std::string_view::npos) break;
    at = end + 2;
  }
  return {};
}

} // namespace

template <typename Stream>
Session<Stream>::Session(Stream stream, SessionShared& shared, std::shared_ptr<const void> keep)
    : stream_(std::move(stream)), shared_(shared), keep_(std::move(keep)) {
  beast::error_code error;
  auto remote = tcp().socket().remote_endpoint(error);
  clientAddress_ = error ? "unknown" : endpointText(remote, false);
  auto local = tcp().socket().local_endpoint(error);
  localAddress_ = error ? "localhost" : endpointText(local, true);
}

template <typename Stream> Session<Stream>::~Session() {
  releaseBody();
  if (handle_) shared_.connections.remove(*handle_);
}

template <typename Stream> void Session<Stream>::releaseBody() {
  if (request_.bodyClaim > 0) shared_.bodies.release(addressGroup(clientAddress_), request_.bodyClaim);
  request_.bodyClaim = 0;
}

template <typename Stream> void Session<Stream>::setIdle(bool idle) {
  idle_ = idle;
  if (handle_) shared_.connections.setIdle(*handle_, idle);
}

template <typename Stream> void Session<Stream>::start() {
  const Config& config = shared_.service.config;
  if (config.proxyProtocol && !isTrustedProxy(config.trustedProxies, clientAddress_)) {
    logMessage(clientAddress_ + ": not a trusted proxy (--trusted-proxy): connection closed");
    return close();
  }
  // A proxy's connection counts against its client's share once the PROXY
  // header names the client; before, against the cap on all alone, so a burst
  // of connections through one proxy is never taken for one client.
  handle_ = config.proxyProtocol ? shared_.connections.add(this->weak_from_this())
                                 : shared_.connections.add(this->weak_from_this(), clientAddress_);
  // Over its address's share, or every connection busy: closed unread.
  if (!handle_) {
    metrics().connectionsRefused.add();
    return close();
  }
  asio::dispatch(stream_.get_executor(), [self = this->shared_from_this()] {
    if (self->shared_.service.config.proxyProtocol) {
      self->tcp().expires_after(self->timeout()); // for the whole header, however it trickles in
      self->readProxyHeader();
    } else
      self->begin();
  });
}

template <typename Stream> void Session<Stream>::begin() {
  if constexpr (overTls)
    detectTls();
  else
    waitForRequest();
}

// The header comes first, before any TLS; reading it counts as idle time and
// is bounded by one `timeout` and by its size. Bytes read past it stay in the
// buffer for what follows.
template <typename Stream> void Session<Stream>::readProxyHeader() {
  setIdle(true);
  tcp().async_read_some(buffer_.prepare(maxProxyHeaderBytes - buffer_.size()),
                        [self = this->shared_from_this()](beast::error_code error, std::size_t n) {
                          self->onProxyBytes(error, n);
                        });
}

template <typename Stream> void Session<Stream>::onProxyBytes(beast::error_code error, std::size_t bytes) {
  setIdle(false);
  if (error) return close();
  buffer_.commit(bytes);
  auto data = buffer_.data();
  auto header = parseProxyHeader({static_cast<const char*>(data.data()), data.size()});
  if (header.state == ProxyHeader::State::incomplete && buffer_.size() < maxProxyHeaderBytes)
    return readProxyHeader();
  if (header.state != ProxyHeader::State::complete) {
    logMessage(clientAddress_ + ": malformed PROXY protocol header: connection closed");
    return close();
  }
  buffer_.consume(header.length);
  // From here on the client is the one the proxy names, for every limit and
  // record; a connection the proxy makes itself counts as the proxy's.
  if (header.clientAddress) clientAddress_ = *header.clientAddress;
  if (!shared_.connections.moveTo(*handle_, clientAddress_)) {
    metrics().connectionsRefused.add();
    return close();
  }
  begin();
}

// The handshake counts as idle time: a stop closes the connection at once, and
// the whole handshake must be done within one `timeout`.
template <typename Stream> void Session<Stream>::detectTls() {
  setIdle(true);
  tcp().expires_after(timeout());
  glimor::server::detectTls(tcp(), buffer_,
                            [self = this->shared_from_this()](FirstBytes first, beast::error_code error) {
                              self->onDetected(first, error);
                            });
}

template <typename Stream> void Session<Stream>::onDetected(FirstBytes first, beast::error_code error) {
  if constexpr (overTls) {
    if (first == FirstBytes::none) return close();
    if (first == FirstBytes::failed) return onHandshake(error, 0);
    if (first == FirstBytes::plainHttp) return refusePlainHttp();
    stream_.async_handshake(asio::ssl::stream_base::server, buffer_.data(),
                            [self = this->shared_from_this()](beast::error_code error, std::size_t used) {
                              self->onHandshake(error, used);
                            });
  }
}

template <typename Stream> void Session<Stream>::onHandshake(beast::error_code error, std::size_t bytesUsed) {
  setIdle(false);
  if (error) {
    if (!(shared_.connections.stopping() && error == asio::error::operation_aborted))
      logMessage(clientAddress_ + ": TLS handshake failed: " + error.message());
    return close();
  }
  buffer_.consume(bytesUsed);
  waitForRequest();
}

// The answer is written as plain text under the TLS layer, then the rest of the
// request is read and dropped so that the client sees the answer.
template <typename Stream> void Session<Stream>::refusePlainHttp() {
  setIdle(false);
  asio::async_write(tcp(), asio::buffer(plainHttpAnswer()),
                    [self = this->shared_from_this()](beast::error_code error, std::size_t) {
                      logMessage(self->clientAddress_ +
                                 ": plain HTTP request on the HTTPS port: answered 400");
                      if (error) return self->close();
                      beast::error_code ignored;
                      self->tcp().socket().shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
                      self->tcp().expires_after(drainTime);
                      self->drainBudget_ = self->drainLimit();
                      self->drain();
                    });
}

template <typename Stream> void Session<Stream>::closeWhenIdle() {
  asio::post(stream_.get_executor(), [self = this->shared_from_this()] {
    if (self->idle_) self->close();
  });
}

// Everything one request held, given back in one place before the next.
template <typename Stream> void Session<Stream>::resetRequest() {
  releaseBody();
  parser_.reset();
  request_ = RequestState();
}

template <typename Stream> void Session<Stream>::waitForRequest() {
  resetRequest();
  if (buffer_.size() > 0) { // a pipelined request is already here
    request_.started = std::chrono::steady_clock::now();
    readHeader();
    return;
  }
  if (shared_.connections.stopping()) return finish();
  setIdle(true);
  tcp().expires_after(timeout());
  stream_.async_read_some(buffer_.prepare(4096),
                          [self = this->shared_from_this()](beast::error_code error, std::size_t n) {
                            self->onFirstBytes(error, n);
                          });
}

template <typename Stream> void Session<Stream>::onFirstBytes(beast::error_code error, std::size_t bytes) {
  setIdle(false);
  if (error) return close(); // the client left, was idle too long, or the service stops
  buffer_.commit(bytes);
  request_.started = std::chrono::steady_clock::now();
  readHeader();
}

template <typename Stream> void Session<Stream>::readHeader() {
  parser_.emplace();
  parser_->header_limit(headerLimit);
  // The body's limit depends on the target; admit() sets it once the header is in.
  parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
  tcp().expires_after(timeout());
  http::async_read_header(
      stream_, buffer_, *parser_,
      [self = this->shared_from_this()](beast::error_code error, std::size_t) { self->onHeader(error); });
}

template <typename Stream> void Session<Stream>::onHeader(beast::error_code error) {
  if (error == http::error::header_limit) {
    // Refused in the client's language, as far as the head can be read.
    auto data = buffer_.data();
    const auto& partial = parser_->get();
    request_.version = partial.version();
    if (!partial.target().empty()) {
      request_.method = std::string(partial.method_string());
      request_.target = std::string(partial.target());
    }
    auto accept = partial[http::field::accept];
    request_.json =
        routeOf({partial.target().data(), partial.target().size()}) == Route::upload &&
        wantsJson(accept.empty() ? acceptLineIn({static_cast<const char*>(data.data()), data.size()})
                                 : std::string_view(accept.data(), accept.size()));
    return refuseBeforeBody(431, "Request header too large");
  }
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
  request_.version = header.version();
  request_.method = std::string(header.method_string());
  request_.target = std::string(header.target());
  request_.head = header.method() == http::verb::head;
  // Refusals from here on speak JSON to an upload client that asks for it.
  auto accept = header[http::field::accept];
  request_.json = routeOf(request_.target) == Route::upload && wantsJson({accept.data(), accept.size()});

  RequestHead head{request_.method,
                   request_.target,
                   static_cast<std::size_t>(std::distance(header.begin(), header.end())),
                   header.count(http::field::host),
                   std::nullopt,
                   parser_->chunked(),
                   {},
                   clientAddress_};
  auto authorization = header[http::field::authorization];
  head.authorization = {authorization.data(), authorization.size()};
  auto host = header[http::field::host];
  head.host = {host.data(), host.size()};
  head.forwarded = header.count(http::field::forwarded) > 0 || header.count("X-Forwarded-For") > 0;
  if (auto length = parser_->content_length()) head.contentLength = *length;
  auto admission =
      admit(head, shared_.service.config, *shared_.service.gate, std::chrono::steady_clock::now());
  if (auto* turndown = std::get_if<Turndown>(&admission))
    return refuseBeforeBody(turndown->status, turndown->reason, std::move(turndown->headers));
  auto& admitted = std::get<Admitted>(admission);
  if (admitted.bodyClaim > 0 && !shared_.bodies.claim(addressGroup(clientAddress_), admitted.bodyClaim))
    return refuseBeforeBody(429, "Too many uploads at once, try again later");
  request_.bodyClaim = admitted.bodyClaim;
  request_.caller = std::move(admitted.caller);
  parser_->body_limit(admitted.bodyLimit);
  request_.bodyStarted = std::chrono::steady_clock::now();

  if (parser_->is_done()) return handleRequest();
  if (beast::iequals(header[http::field::expect], "100-continue")) return sendContinue();
  readBody();
}

template <typename Stream> void Session<Stream>::sendContinue() {
  continue_.emplace(http::status::continue_, request_.version);
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
  // A body the parser cannot read (a chunk size that overflows, bad chunk framing)
  // is the client's fault and is told so; a body cut short is not answered.
  if (error.category() == beast::error_code(http::error::bad_chunk).category() &&
      error != http::error::partial_message && error != http::error::end_of_stream) {
    logMessage(clientAddress_ + ": malformed request body: " + error.message());
    return refuseBeforeBody(400, "Malformed request body");
  }
  if (error) {
    logRequest({clientAddress_, request_.method, request_.target + " (body incomplete)", 0, 0,
                std::chrono::steady_clock::now() - request_.started});
    return close();
  }
  if (!parser_->is_done()) {
    auto now = std::chrono::steady_clock::now();
    if (now > request_.bodyStarted + timeout() * bodyTimeoutFactor)
      return refuseBeforeBody(408, "Request body not received in time");
    const auto& config = shared_.service.config;
    if (now >
        paceDeadline(request_.bodyStarted, parser_->get().body().size(), timeout(), config.minUploadRate))
      return refuseBeforeBody(408, "Request body arriving too slowly");
    return readBody();
  }
  handleRequest();
}

template <typename Stream> void Session<Stream>::handleRequest() {
  auto message = parser_->release();
  parser_.reset();
  Request request;
  request.method = request_.method;
  request.target = request_.target;
  if (auto host = message.find(http::field::host); host != message.end())
    request.host = std::string(host->value());
  request.contentType = std::string(message[http::field::content_type]);
  request.ifNoneMatch = std::string(message[http::field::if_none_match]);
  request.range = std::string(message[http::field::range]);
  request.ifRange = std::string(message[http::field::if_range]);
  request.authorization = std::string(message[http::field::authorization]);
  request.accept = std::string(message[http::field::accept]);
  request.cookie = std::string(message[http::field::cookie]);
  request.origin = std::string(message[http::field::origin]);
  request.referer = std::string(message[http::field::referer]);
  request.body = std::move(message.body());
  request.clientAddress = clientAddress_;
  request.localAddress = localAddress_;
  request.scheme = overTls ? "https" : "http";
  request.caller = std::move(request_.caller);
  bool keepAlive = message.keep_alive() && !shared_.connections.stopping();

  // An upload or feedback counts against the limits once its body has come.
  const Route where = routeOf(request.target);
  if (request.method == "POST" && (where == Route::upload || where == Route::feedback)) {
    UploadGate& gate = *shared_.service.gate;
    auto now = std::chrono::steady_clock::now();
    try {
      if (where == Route::upload)
        gate.countUpload(request.caller, clientAddress_, request.body.size(), now);
      else
        gate.countFeedback(clientAddress_, now);
    } catch (const Refusal& refusal) {
      Response refused = errorResponse(request, refusal.status(), refusal.what());
      for (const auto& line : refusal.headers()) refused.headers.push_back(line);
      return respond(std::move(refused), keepAlive);
    }
  }
  if (request.method == "POST" && (where == Route::upload || where == Route::browserUpload))
    return handleUpload(std::move(request), keepAlive);
  auto answerRequest = [this, request = std::move(request)] {
    try {
      return route(shared_.service, request);
    } catch (const std::exception& failure) {
      logMessage(std::string("error: ") + failure.what());
      return errorResponse(request, 500, "The service could not complete the request");
    }
  };
  // Reads answer at once unless the store waits for another machine, or they
  // read records from the database (a token's uploads, an upload's page, a
  // browser's session on the home page).
  if (request_.method != "POST" && !shared_.service.images->readsBlock() && where != Route::myPage &&
      where != Route::viewPage && where != Route::homePage)
    return respond(answerRequest(), keepAlive);
  answerOnDiskThreads(std::move(answerRequest), keepAlive);
}

template <typename Stream>
void Session<Stream>::answerOnDiskThreads(std::function<Response()> answer, bool keepAlive) {
  asio::post(shared_.diskWork, [self = this->shared_from_this(), answer = std::move(answer), keepAlive] {
    auto response = std::make_shared<Response>(answer());
    asio::post(self->stream_.get_executor(),
               [self, response, keepAlive] { self->respond(std::move(*response), keepAlive); });
  });
}

// The images are decoded on the decoding threads, then stored on the disk threads:
// Glimor's and other clients' uploads, and a signed-in browser's.
template <typename Stream> void Session<Stream>::handleUpload(Request request, bool keepAlive) {
  if (routeOf(request.target) == Route::browserUpload)
    return decodeThenStore(std::move(request), keepAlive, prepareBrowserUpload, finishBrowserUpload);
  decodeThenStore(std::move(request), keepAlive, prepareUpload, finishUpload);
}

template <typename Stream>
template <typename Prepare, typename Finish>
void Session<Stream>::decodeThenStore(Request request, bool keepAlive, Prepare prepare, Finish finish) {
  auto shared = std::make_shared<const Request>(std::move(request));
  auto accounts = decodeAccountsOf(clientAddress_, shared->caller.tokenName);
  shared_.decodes.post(
      std::move(accounts), [self = this->shared_from_this(), shared, keepAlive, prepare, finish] {
        Service& service = self->shared_.service;
        auto failed = [shared](const std::exception& failure) {
          logMessage(std::string("error: ") + failure.what());
          return errorResponse(*shared, 500, "The service could not complete the request");
        };
        decltype(prepare(service, *shared)) prepared;
        try {
          prepared = prepare(service, *shared);
        } catch (const std::exception& failure) {
          prepared = failed(failure);
        }
        if (auto* refused = std::get_if<Response>(&prepared)) {
          auto response = std::make_shared<Response>(std::move(*refused));
          return asio::post(self->stream_.get_executor(),
                            [self, response, keepAlive] { self->respond(std::move(*response), keepAlive); });
        }
        using Checked = std::variant_alternative_t<0, decltype(prepared)>;
        auto checked = std::make_shared<Checked>(std::move(std::get<Checked>(prepared)));
        self->answerOnDiskThreads(
            [&service, shared, checked, failed, finish] {
              try {
                return finish(service, *shared, *checked);
              } catch (const std::exception& failure) {
                return failed(failure);
              }
            },
            keepAlive);
      });
}

template class Session<PlainStream>;
template class Session<TlsStream>;

} // namespace glimor::server
