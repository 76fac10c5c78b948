#include "s3_client.h"

#include "platform/error.h"
#include "s3_xml.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

namespace glimor::server::s3 {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

namespace {

// The largest answer read: a listing page, or one part of an image.
constexpr std::uint64_t answerLimit = 256ull << 20;
// Idle connections kept for the next requests.
constexpr std::size_t idleLimit = 32;

asio::ssl::context& tlsContext() {
  static asio::ssl::context context = [] {
    asio::ssl::context made(asio::ssl::context::tls_client);
    made.set_default_verify_paths();
    made.set_verify_mode(asio::ssl::verify_peer);
    return made;
  }();
  return context;
}

std::int64_t now() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

} // namespace

// One connection to the endpoint with an event loop of its own, so that each
// wait is bounded by running that loop for the time left.
struct Client::Connection {
  asio::io_context loop;
  std::unique_ptr<beast::tcp_stream> plain;
  std::unique_ptr<beast::ssl_stream<beast::tcp_stream>> secure;
  beast::flat_buffer buffer;

  beast::tcp_stream& tcp() { return secure ? beast::get_lowest_layer(*secure) : *plain; }

  // Runs the loop until `done` or the deadline; past it, closes the socket so
  // that every pending operation ends, and throws.
  void runUntil(const bool& done, std::chrono::steady_clock::time_point deadline, std::string_view what) {
    loop.restart();
    while (!done && std::chrono::steady_clock::now() < deadline) loop.run_one_until(deadline);
    if (!done) {
      beast::error_code ignored;
      tcp().socket().close(ignored);
      loop.restart();
      loop.run();
      throw S3Error(0, "Timeout", "no answer from the object store in time (" + std::string(what) + ")");
    }
  }
};

Client::Client(BucketAddress address, Credentials credentials, std::chrono::milliseconds timeout)
    : address_(std::move(address)), credentials_(std::move(credentials)), timeout_(timeout) {
  std::string_view endpoint = address_.endpoint;
  if (endpoint.starts_with("https://")) {
    tls_ = true;
    endpoint.remove_prefix(8);
  } else if (endpoint.starts_with("http://")) {
    endpoint.remove_prefix(7);
  } else {
    throw Error("--s3: \"" + address_.endpoint + "\" is not http://HOST[:PORT] or https://HOST[:PORT]");
  }
  while (endpoint.ends_with('/')) endpoint.remove_suffix(1);
  if (endpoint.empty() || endpoint.find('/') != std::string_view::npos)
    throw Error("--s3: \"" + address_.endpoint + "\" must name a host and port only");
  std::size_t colon = endpoint.rfind(':');
  if (colon != std::string_view::npos && endpoint.find(']', colon) == std::string_view::npos) {
    host_ = endpoint.substr(0, colon);
    port_ = endpoint.substr(colon + 1);
  } else {
    host_ = endpoint;
    port_ = tls_ ? "443" : "80";
  }
  if (host_.starts_with('[') && host_.ends_with(']')) host_ = host_.substr(1, host_.size() - 2);
  if (address_.bucket.empty()) throw Error("--s3-bucket needs a name");
}

Client::~Client() = default;

std::string Client::description() const {
  return "bucket " + address_.bucket + " at " + address_.endpoint;
}

Client::Target Client::target(std::string_view key) const {
  bool defaultPort = port_ == (tls_ ? "443" : "80");
  std::string host = host_.find(':') != std::string::npos ? "[" + host_ + "]" : host_;
  if (!defaultPort) host += ":" + port_;
  // An empty key addresses the bucket itself (listing, creation).
  std::string encodedKey = key.empty() ? "" : "/" + uriEncode(key, true);
  if (address_.virtualHost) return {address_.bucket + "." + host, key.empty() ? "/" : encodedKey};
  return {host, "/" + uriEncode(address_.bucket) + encodedKey};
}

Reply Client::send(std::string_view method, std::string_view key,
                   const std::vector<std::pair<std::string, std::string>>& query, std::string_view body,
                   std::vector<std::pair<std::string, std::string>> headers, std::string_view bodySha256) {
  Target where = target(key);
  std::string payloadHash = bodySha256.empty() ? sha256HexOf(body) : std::string(bodySha256);
  headers.emplace_back("Host", where.host);
  headers.emplace_back("x-amz-content-sha256", payloadHash);
  headers.emplace_back("x-amz-date", amzTimestamp(now()));
  SigningContext context{credentials_, address_.region, "s3", headers.back().second};
  std::string signedAuthorization =
      authorization(context, SignedRequest{std::string(method), where.path, query, headers, payloadHash});

  std::string requestTarget = where.path;
  for (std::size_t i = 0; i < query.size(); ++i)
    requestTarget += (i ? "&" : "?") + uriEncode(query[i].first) + "=" + uriEncode(query[i].second);
  // The body is sent from the caller's bytes, not copied.
  http::request<http::span_body<const char>> request(
      http::string_to_verb(beast::string_view(method.data(), method.size())), requestTarget, 11);
  for (const auto& [name, value] : headers) request.set(beast::string_view(name), value);
  request.set(http::field::authorization, signedAuthorization);
  request.body() = beast::span<const char>(body.data(), body.size());
  if (!body.empty() || method == "PUT" || method == "POST") request.prepare_payload();

  auto deadline = std::chrono::steady_clock::now() + timeout_;
  // A kept-alive connection the store closed meanwhile fails before any answer:
  // the request is then sent once more on a new connection.
  for (int attempt = 0;; ++attempt) {
    std::unique_ptr<Connection> connection;
    {
      std::lock_guard lock(idleMutex_);
      if (attempt == 0 && !idle_.empty()) {
        connection = std::move(idle_.back());
        idle_.pop_back();
      }
    }
    bool reused = connection != nullptr;
    if (!connection) {
      connection = std::make_unique<Connection>();
      Connection& made = *connection;
      if (tls_)
        made.secure = std::make_unique<beast::ssl_stream<beast::tcp_stream>>(made.loop, tlsContext());
      else
        made.plain = std::make_unique<beast::tcp_stream>(made.loop);
      asio::ip::tcp::resolver resolver(made.loop);
      bool done = false;
      beast::error_code error;
      resolver.async_resolve(host_, port_,
                             [&](beast::error_code e, asio::ip::tcp::resolver::results_type found) {
                               if (e) {
                                 error = e;
                                 done = true;
                                 return;
                               }
                               made.tcp().async_connect(found, [&](beast::error_code e2, const auto&) {
                                 error = e2;
                                 done = true;
                               });
                             });
      made.runUntil(done, deadline, "connecting");
      // A request's head and body go out as written, not held back for an ACK.
      if (!error) made.tcp().socket().set_option(asio::ip::tcp::no_delay(true), error);
      if (error)
        throw S3Error(0, "Connect",
                      "cannot connect to the object store at " + address_.endpoint + ": " + error.message());
      if (made.secure) {
        if (!SSL_set_tlsext_host_name(made.secure->native_handle(), host_.c_str()))
          throw S3Error(0, "TLS", "cannot name the object store's host for TLS");
        made.secure->set_verify_callback(asio::ssl::host_name_verification(host_));
        done = false;
        made.secure->async_handshake(asio::ssl::stream_base::client, [&](beast::error_code e) {
          error = e;
          done = true;
        });
        made.runUntil(done, deadline, "TLS handshake");
        if (error) throw S3Error(0, "TLS", "TLS with the object store failed: " + error.message());
      }
    }

    Connection& open = *connection;
    // Beast reads as much as the buffer has room for (512 bytes at least): with
    // room for 64 KiB a megabyte is 16 reads instead of 2000.
    open.buffer.reserve(65536);
    http::response_parser<http::string_body> parser;
    parser.body_limit(answerLimit);
    if (method == "HEAD") parser.skip(true);
    bool done = false;
    bool answered = false;
    beast::error_code error;
    auto exchange = [&](auto& stream) {
      http::async_write(stream, request, [&](beast::error_code e, std::size_t) {
        if (e) {
          error = e;
          done = true;
          return;
        }
        http::async_read(stream, open.buffer, parser, [&](beast::error_code e2, std::size_t) {
          error = e2;
          done = true;
        });
      });
    };
    if (open.secure)
      exchange(*open.secure);
    else
      exchange(*open.plain);
    open.runUntil(done, deadline, std::string(method) + " " + std::string(key));
    answered = parser.is_header_done();
    if (error) {
      if (reused && !answered && attempt == 0) continue;
      throw S3Error(0, "Connection", "the object store's connection failed: " + error.message());
    }
    auto& answer = parser.get();
    Reply reply;
    reply.status = static_cast<int>(answer.result_int());
    reply.body = std::move(answer.body());
    reply.etag = std::string(answer[http::field::etag]);
    reply.contentRange = std::string(answer[http::field::content_range]);
    if (auto length = parser.content_length()) reply.contentLength = *length;
    if (answer.keep_alive()) {
      std::lock_guard lock(idleMutex_);
      if (idle_.size() < idleLimit) idle_.push_back(std::move(connection));
    }
    return reply;
  }
}

S3Error Client::failure(std::string_view what, std::string_view key, const Reply& reply) const {
  ErrorAnswer error = parseError(reply.body);
  std::string text = "the object store refused " + std::string(what) + " of " + std::string(key) + ": " +
                     std::to_string(reply.status) + (error.code.empty() ? "" : " " + error.code);
  if (!error.message.empty()) text += " (" + error.message + ")";
  return S3Error(reply.status, error.code, text);
}

void Client::put(std::string_view key, std::string_view bytes, std::string_view contentType,
                 std::string_view sha256) {
  Reply reply = send("PUT", key, {}, bytes, {{"Content-Type", std::string(contentType)}}, sha256);
  if (reply.status != 200) throw failure("PUT", key, reply);
}

std::optional<Reply> Client::get(std::string_view key, std::string_view range, std::string_view ifNoneMatch) {
  std::vector<std::pair<std::string, std::string>> headers;
  if (!range.empty()) headers.emplace_back("Range", std::string(range));
  if (!ifNoneMatch.empty()) headers.emplace_back("If-None-Match", std::string(ifNoneMatch));
  Reply reply = send("GET", key, {}, {}, std::move(headers));
  if (reply.status == 404 || reply.status == 304) return std::nullopt;
  if (reply.status != 200 && reply.status != 206) throw failure("GET", key, reply);
  return reply;
}

std::optional<std::uint64_t> Client::head(std::string_view key) {
  Reply reply = send("HEAD", key, {}, {}, {});
  if (reply.status == 404) return std::nullopt;
  if (reply.status != 200) throw failure("HEAD", key, reply);
  return reply.contentLength;
}

void Client::remove(std::string_view key) {
  Reply reply = send("DELETE", key, {}, {}, {});
  if (reply.status != 204 && reply.status != 200 && reply.status != 404) throw failure("DELETE", key, reply);
}

void Client::list(
    std::string_view prefix,
    const std::function<void(std::string_view key, std::uint64_t size, std::int64_t modified)>& each) {
  std::optional<std::string> continuation;
  do {
    std::vector<std::pair<std::string, std::string>> query;
    if (continuation) query.emplace_back("continuation-token", *continuation);
    query.emplace_back("list-type", "2");
    query.emplace_back("prefix", std::string(prefix));
    Reply reply = send("GET", "", query, {}, {});
    if (reply.status != 200) throw failure("a listing", prefix, reply);
    ObjectListing page = parseListing(reply.body);
    for (const auto& object : page.objects) each(object.key, object.size, object.modified);
    continuation = std::move(page.continuation);
  } while (continuation);
}

void Client::createBucket() {
  Reply reply = send("PUT", "", {}, {}, {});
  if (reply.status == 200) return;
  if (reply.status == 409 && parseError(reply.body).code == "BucketAlreadyOwnedByYou") return;
  throw failure("creating", address_.bucket, reply);
}

std::string Client::presignedGet(std::string_view key, unsigned expiresSeconds, std::int64_t now) const {
  Target where = target(key);
  SigningContext context{credentials_, address_.region, "s3", amzTimestamp(now)};
  SignedRequest request{"GET", where.path, {}, {{"Host", where.host}}, "UNSIGNED-PAYLOAD"};
  return (tls_ ? "https://" : "http://") + where.host + where.path + "?" +
         presignedQuery(context, request, expiresSeconds);
}

} // namespace glimor::server::s3
