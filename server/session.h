#pragma once
#include "connections.h"
#include "http_types.h"
#include "service.h"

#include <array>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/stream_traits.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/span_body.hpp>
#include <boost/beast/http/string_body.hpp>
#include <chrono>
#include <memory>
#include <optional>
#include <type_traits>

namespace glimor::server {

// The two kinds of connection: HTTP straight over TCP, and HTTPS.
using PlainStream = boost::beast::tcp_stream;
using TlsStream = boost::asio::ssl::stream<boost::beast::tcp_stream>;

// One client connection: reads requests within the limits (header size and
// count, body size, time), hands each to route() and writes the answer,
// keeping the connection open between requests when the client asks for it.
// Over TLS the handshake comes first, within one `timeout`; everything after
// it is the same code for both streams.
template <typename Stream>
class Session : public Connection, public std::enable_shared_from_this<Session<Stream>> {
public:
  // Requests that write to the disk run on `diskWork`, so that waiting for the
  // disk never holds up the threads that move bytes for other connections.
  Session(Stream stream, Service& service, Connections& connections, boost::asio::thread_pool& diskWork);
  ~Session() override;

  void start();
  void closeWhenIdle() override;

private:
  using Parser = boost::beast::http::request_parser<boost::beast::http::string_body>;
  using Answer = boost::beast::http::response<boost::beast::http::span_body<const char>>;

  static constexpr bool overTls = std::is_same_v<Stream, TlsStream>;

  void detectTls();
  void onDetected(boost::beast::error_code error, bool isTls);
  void onHandshake(boost::beast::error_code error, std::size_t bytesUsed);
  void refusePlainHttp();
  void waitForRequest();
  void onFirstBytes(boost::beast::error_code error, std::size_t bytes);
  void readHeader();
  void onHeader(boost::beast::error_code error);
  void sendContinue();
  void readBody();
  void onBody(boost::beast::error_code error);
  void handleRequest();
  void respond(Response response, bool keepAlive, bool drainAfter = false);
  void sendPart(std::uint64_t offset, bool keepAlive);
  void onPartRead(std::uint64_t offset, bool keepAlive);
  void onWritten(bool keepAlive, bool drainAfter, boost::beast::error_code error);
  void refuseBeforeBody(int status, const std::string& reason);
  void drain();
  void finish();
  void close();
  boost::beast::tcp_stream& tcp() { return boost::beast::get_lowest_layer(stream_); }
  void releaseBody();
  std::chrono::seconds timeout() const { return service_.config.requestTimeout; }

  Stream stream_;
  boost::beast::flat_buffer buffer_;
  std::optional<Parser> parser_;
  Service& service_;
  Connections& connections_;
  boost::asio::thread_pool& diskWork_;
  std::optional<Connections::Handle> handle_;
  bool idle_ = false;
  std::string clientAddress_;
  std::string localAddress_;

  // The request being served, for the answer and the log line.
  unsigned version_ = 11;
  bool head_ = false;
  std::string method_ = "-";
  std::string target_ = "-";
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point bodyDeadline_;
  std::uint64_t drainBudget_ = 0;
  std::uint64_t bodyBytesReserved_ = 0;

  Response response_;
  std::optional<Answer> answer_;
  std::optional<boost::beast::http::response<boost::beast::http::empty_body>> continue_;
  std::array<char, 16384> drainBuffer_{};
  // The part of a streamed body being sent.
  std::string part_;
};

extern template class Session<PlainStream>;
extern template class Session<TlsStream>;

} // namespace glimor::server
