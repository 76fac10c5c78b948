#pragma once
#include "http/answer_head.h"
#include "http/client_config.h"
#include "http/cookie_store.h"
#include "http/limits.h"
#include "http/request_head.h"
#include "http/stream_reader.h"
#include "http/url.h"
#include "platform/deadline.h"
#include "platform/socket.h"
#include "platform/tls.h"

#include <memory>
#include <span>
#include <string_view>

namespace glimor::http {

// How https URLs are reached: the system's TLS and one more trust anchor for a service whose
// certificate comes from a private CA (a PEM or DER file; empty for none).
struct TlsSettings {
  platform::Tls* tls = nullptr; // none: https URLs fail
  std::string trustAnchorFile;
};

// A client object: its configuration, its cookies and the connection of its last exchange.
// One exchange at a time; two objects share nothing.
class HttpClient {
public:
  HttpClient(ClientConfig config, platform::Network& network, Limits limits = {}, TlsSettings tls = {})
      : config_(std::move(config)), network_(network), limits_(limits), tls_(std::move(tls)) {}

  // Posts `body` to `url` as HTTP/1.0 on a fresh connection (over TLS for https) and appends the
  // answer body to `answer`, all within Limits::totalFor the body's size.
  // Throws Error with the message the caller shows after "Error encountered during POST: ", a
  // Refusal (refusal_text.h) when the service says why it refuses.
  void Post(std::string_view url, std::span<const std::uint8_t> body, Bytes& answer) {
    Send(url, {}, body, answer);
  }
  // The same with the method, the content type and more header lines that `shape` gives.
  void Send(std::string_view url, const RequestShape& shape, std::span<const std::uint8_t> body,
            Bytes& answer);

  // Opens the connection for the next exchange with `url` now (with its TLS handshake), so that it
  // need not wait for the request to be made: a Send to the same scheme, host and port within
  // aheadKept takes it, any other closes it. A failure is left for that exchange to meet.
  void openAhead(std::string_view url);
  static constexpr std::chrono::milliseconds aheadKept{5000};

  // What may change from one exchange to the next: the bearer token and the extra trust anchor.
  // Only between exchanges, by whoever runs the next one.
  void setAccess(BearerToken token, std::string trustAnchorFile) {
    config_.bearerToken = std::move(token);
    tls_.trustAnchorFile = std::move(trustAnchorFile);
  }

  // Calls off the exchange under way, from any thread: Post throws platform::Cancelled within
  // CancelToken::checkInterval, its connection closed. In force until resetCancel(), so a cancel
  // that comes before Post has begun ends it as well.
  void cancel() { cancel_.cancel(); }
  void resetCancel() { cancel_.reset(); }

  const AnswerHead& lastAnswer() const { return lastAnswer_; }
  // The start (at most refusedBodyKept bytes) of the body of the last answer whose status was
  // outside 2xx and no redirect: what a service says about its refusal.
  const Bytes& lastRefusedBody() const { return lastRefusedBody_; }
  const ClientConfig& config() const { return config_; }

  // The request body goes out in writes of at most this many bytes.
  static constexpr std::size_t bodyWriteSize = 32768;

private:
  void open(const Url& target, const platform::Deadline& deadline);
  void sendRequest(const Url& target, const RequestShape& shape, std::span<const std::uint8_t> body,
                   const platform::Deadline& deadline);
  void keepOrClose();
  bool takeAhead(const Url& target);

  ClientConfig config_;
  platform::Network& network_;
  Limits limits_;
  TlsSettings tls_;
  CookieStore cookies_;
  platform::CancelToken cancel_; // before the connection, which keeps a reference to it
  std::unique_ptr<platform::Connection> connection_;
  std::string aheadFor_; // where connection_ leads when it was opened ahead, unused; else empty
  std::chrono::steady_clock::time_point aheadAt_;
  AnswerHead lastAnswer_;
  Bytes lastRefusedBody_;
};

} // namespace glimor::http
