#include "session.h"

#include "answer_metrics.h"
#include "json_text.h"
#include "request_log.h"
#include "routes.h"

#include <algorithm>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http/write.hpp>
#include <optional>

// Writing the answer: its header, a body held whole, sent from its file by the
// kernel (session_sendfile.cpp) or in parts read on the disk threads, then the
// next request, a drain of what a refused request still sends, or the end of
// the connection.
namespace glimor::server {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

template <typename Stream> void Session<Stream>::respond(Response response, bool keepAlive, bool drainAfter) {
  releaseBody(); // the body has been used; a slow reader of the answer holds none of the budget
  Response& out = request_.response = std::move(response);
  Answer& answer = request_.answer.emplace();
  answer.version(request_.version);
  answer.result(static_cast<unsigned>(out.status));
  if (!out.reason.empty()) answer.reason(out.reason);
  answer.set(http::field::server, "glimor-server");
  if (!out.contentType.empty()) answer.set(http::field::content_type, out.contentType);
  for (const auto& [name, value] : out.headers) answer.set(name, value);
  // Browsers that once came over HTTPS keep to it for a year.
  if constexpr (overTls) answer.set(http::field::strict_transport_security, "max-age=31536000");
  ByteRange sent = out.sentRange();
  if (out.status != 304) answer.content_length(sent.length);
  // HEAD gets the same header lines as GET, without the body.
  bool withBody = !request_.head && out.status != 304;
  if (withBody && !out.streamedBody) {
    std::string_view payload = out.payload().substr(sent.first, sent.length);
    answer.body() = {payload.data(), payload.size()};
  }
  answer.keep_alive(keepAlive);

  // A streamed body follows the header in parts; the header carries its length.
  bool streamed = withBody && out.streamedBody;
  if (streamed)
    request_.streamer.emplace(out.streamedBody, sent, std::chrono::steady_clock::now(), timeout(),
                              shared_.service.config.minDownloadRate);
  tcp().expires_after(timeout());
  http::async_write(stream_, answer,
                    [self = this->shared_from_this(), keepAlive, drainAfter,
                     streamed](beast::error_code error, std::size_t) {
                      if (streamed && !error)
                        return self->sendsFromFile() ? self->sendFromFile(keepAlive)
                                                     : self->sendPart(keepAlive);
                      self->onWritten(keepAlive, drainAfter, error);
                    });
}

namespace {

// The streamer's next part; nothing when it cannot be read (logged).
std::optional<std::string> nextPart(BodyStreamer& streamer) {
  try {
    return streamer.readPart();
  } catch (const std::exception& failure) {
    logMessage(std::string("error: ") + failure.what());
    return std::nullopt;
  }
}

} // namespace

// Each part is read on the disk threads, since reading may wait for the disk
// or another machine (a part already in memory is taken here), and written
// before the next is read.
template <typename Stream> void Session<Stream>::sendPart(bool keepAlive) {
  if (request_.streamer->done()) return onWritten(keepAlive, false, {});
  if (request_.streamer->readsFromMemory()) {
    auto part = nextPart(*request_.streamer);
    request_.part = part ? std::move(*part) : std::string();
    return onPartRead(keepAlive, !part);
  }
  asio::post(shared_.diskWork, [self = this->shared_from_this(), keepAlive] {
    auto part = nextPart(*self->request_.streamer);
    asio::post(self->stream_.get_executor(), [self, keepAlive, part = std::move(part)]() mutable {
      self->request_.part = part ? std::move(*part) : std::string();
      self->onPartRead(keepAlive, !part);
    });
  });
}

template <typename Stream> void Session<Stream>::onPartRead(bool keepAlive, bool failed) {
  if (failed) {
    // The header is out, so cutting the connection is the only way left to say
    // that the body is incomplete.
    logRequest({clientAddress_, request_.method, request_.target + " (body cut short)",
                request_.response.status, static_cast<std::size_t>(request_.streamer->sent()),
                std::chrono::steady_clock::now() - request_.started});
    return close();
  }
  // Each pause within `timeout`, and the whole body within its deadline.
  tcp().expires_at(std::min(std::chrono::steady_clock::now() + timeout(), request_.streamer->deadline()));
  asio::async_write(stream_, asio::buffer(request_.part),
                    [self = this->shared_from_this(), keepAlive](beast::error_code error, std::size_t) {
                      if (error) return self->onWritten(keepAlive, false, error);
                      self->sendPart(keepAlive);
                    });
}

template <typename Stream>
void Session<Stream>::onWritten(bool keepAlive, bool drainAfter, beast::error_code error) {
  std::uint64_t sent = request_.head ? 0 : request_.response.sentRange().length;
  if (error && request_.streamer) sent = request_.streamer->sent();
  logRequest({clientAddress_, request_.method, request_.target + (error ? " (answer cut short)" : ""),
              request_.response.status, static_cast<std::size_t>(sent),
              std::chrono::steady_clock::now() - request_.started});
  recordAnswer(request_.target, request_.response, sent, std::chrono::steady_clock::now() - request_.started);
  resetRequest();
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

template <typename Stream>
void Session<Stream>::refuseBeforeBody(int status, const std::string& reason, Refusal::Headers headers) {
  // The rest of the request is not read, so the connection cannot carry another one.
  std::uint64_t length = drainLimit();
  if (parser_ && parser_->is_header_done() && parser_->content_length()) length = *parser_->content_length();
  drainBudget_ = std::min(length, drainLimit());
  parser_.reset();
  releaseBody();
  Response response = request_.json ? jsonErrorResponse(status, reason) : textResponse(status, reason);
  response.headers = std::move(headers);
  respond(std::move(response), false, true);
}

template <typename Stream> std::uint64_t Session<Stream>::drainLimit() const {
  return bodyLimit(shared_.service.config, Route::upload);
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
    setIdle(true);
    tcp().expires_after(closeNotifyTime);
    stream_.async_shutdown([self = this->shared_from_this()](beast::error_code) { self->close(); });
  } else {
    close();
  }
}

template <typename Stream> void Session<Stream>::close() {
  setIdle(false);
  beast::error_code ignored;
  tcp().socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
  tcp().close();
}

// The members above, for both kinds of connection; session.cpp makes the rest.
#define GLIMOR_SESSION_ANSWER(Stream)                                                                        \
  template void Session<Stream>::respond(Response, bool, bool);                                              \
  template void Session<Stream>::sendPart(bool);                                                             \
  template void Session<Stream>::onPartRead(bool, bool);                                                     \
  template void Session<Stream>::onWritten(bool, bool, beast::error_code);                                   \
  template void Session<Stream>::refuseBeforeBody(int, const std::string&, Refusal::Headers);                \
  template std::uint64_t Session<Stream>::drainLimit() const;                                                \
  template void Session<Stream>::drain();                                                                    \
  template void Session<Stream>::finish();                                                                   \
  template void Session<Stream>::close();
GLIMOR_SESSION_ANSWER(PlainStream)
GLIMOR_SESSION_ANSWER(TlsStream)
#undef GLIMOR_SESSION_ANSWER

} // namespace glimor::server
