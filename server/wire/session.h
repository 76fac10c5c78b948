#pragma once
#include "body_budget.h"
#include "body_streamer.h"
#include "connections.h"
#include "decode_queue.h"
#include "http_types.h"
#include "refusal.h"
#include "service.h"
#include "tls_detection.h"

#include <array>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/asio/steady_timer.hpp>
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
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

namespace glimor::server {

// The two kinds of connection: HTTP straight over TCP, and HTTPS.
using PlainStream = boost::beast::tcp_stream;
using TlsStream = boost::asio::ssl::stream<boost::beast::tcp_stream>;

// What every session shares. Requests that write to the disk run on
// `diskWork`, so that waiting for the disk never holds up the threads that
// move bytes for other connections; uploads are decoded before that on
// `decodes`, fewer threads shared fairly between clients, so that costly
// images never hold up the disk threads nor the answers that wait for them.
struct SessionShared {
  Service& service;
  Connections& connections;
  BodyBudget& bodies;
  boost::asio::thread_pool& diskWork;
  DecodeQueue& decodes;
};

// One client connection: reads requests, lets admit() decide on each head,
// hands each admitted request to route() (session.cpp) and writes the answer
// (session_answer.cpp), keeping the
// connection open between requests when the client asks for it. Over TLS the
// handshake comes first, within one `timeout`; everything after it is the same
// code for both streams.
template <typename Stream>
class Session : public Connection, public std::enable_shared_from_this<Session<Stream>> {
public:
  // `keep` is held as long as the session: the TLS context it was made with.
  Session(Stream stream, SessionShared& shared, std::shared_ptr<const void> keep = nullptr);
  ~Session() override;

  void start();
  void closeWhenIdle() override;

private:
  using Parser = boost::beast::http::request_parser<boost::beast::http::string_body>;
  using Answer = boost::beast::http::response<boost::beast::http::span_body<const char>>;

  static constexpr bool overTls = std::is_same_v<Stream, TlsStream>;
  // After refusing a body unread, read and discard at most the largest body
  // the service takes, so that a client which sends a whole upload before
  // reading (Glimor) still sees the answer; a larger one is cut there.
  std::uint64_t drainLimit() const;
  static constexpr auto drainTime = std::chrono::seconds(10);
  // How long a TLS client has to answer the close_notify that ends a connection.
  static constexpr auto closeNotifyTime = std::chrono::seconds(2);

  // The request being served, for the answer and the log line; cleared by resetRequest().
  struct RequestState {
    unsigned version = 11;
    bool head = false;
    bool json = false; // refusals as {"error": ...}
    std::string method = "-";
    std::string target = "-";
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point bodyStarted;
    std::uint64_t bodyClaim = 0; // held in the body budget
    Caller caller;               // as admit() found it
    Response response;
    std::optional<Answer> answer;
    std::optional<BodyStreamer> streamer;
    std::string part; // the part of a streamed body being sent
  };

  void begin();
  void readProxyHeader();
  void onProxyBytes(boost::beast::error_code error, std::size_t bytes);
  void detectTls();
  void onDetected(FirstBytes first, boost::beast::error_code error);
  void onHandshake(boost::beast::error_code error, std::size_t bytesUsed);
  void refusePlainHttp();
  void resetRequest();
  void waitForRequest();
  void onFirstBytes(boost::beast::error_code error, std::size_t bytes);
  void readHeader();
  void onHeader(boost::beast::error_code error);
  void sendContinue();
  void readBody();
  void onBody(boost::beast::error_code error);
  void handleRequest();
  void handleUpload(Request request, bool keepAlive);
  template <typename Prepare, typename Finish>
  void decodeThenStore(Request request, bool keepAlive, Prepare prepare, Finish finish);
  void answerOnDiskThreads(std::function<Response()> answer, bool keepAlive);
  void respond(Response response, bool keepAlive, bool drainAfter = false);
  void sendPart(bool keepAlive);
  void onPartRead(bool keepAlive, bool failed);
  bool sendsFromFile();
  void sendFromFile(bool keepAlive);
  void awaitWritable(bool keepAlive);
  std::int64_t sendFileOnce(int file, std::uint64_t offset, std::size_t length);
  void onWritten(bool keepAlive, bool drainAfter, boost::beast::error_code error);
  void refuseBeforeBody(int status, const std::string& reason, Refusal::Headers headers = {});
  void drain();
  void finish();
  void close();
  void setIdle(bool idle);
  boost::beast::tcp_stream& tcp() { return boost::beast::get_lowest_layer(stream_); }
  void releaseBody();
  std::chrono::seconds timeout() const { return shared_.service.config.requestTimeout; }

  Stream stream_;
  SessionShared& shared_;
  std::shared_ptr<const void> keep_;
  boost::beast::flat_buffer buffer_;
  std::optional<Parser> parser_;
  std::optional<Connections::Handle> handle_;
  bool idle_ = false;
  std::string clientAddress_;
  std::string localAddress_;
  RequestState request_;
  std::optional<boost::beast::http::response<boost::beast::http::empty_body>> continue_;
  std::uint64_t drainBudget_ = 0;
  std::array<char, 16384> drainBuffer_{};
  std::optional<boost::asio::steady_timer> writableTimer_; // bounds each wait of sendFromFile()
};

extern template class Session<PlainStream>;
extern template class Session<TlsStream>;

} // namespace glimor::server
