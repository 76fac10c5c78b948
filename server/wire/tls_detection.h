#pragma once
#include <boost/asio/error.hpp>
#include <boost/beast/core/detect_ssl.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <string>
#include <utility>

namespace glimor::server {

// What a connection on the HTTPS port began with.
enum class FirstBytes {
  tlsHello,  // a TLS handshake: go on with it
  plainHttp, // something else, most likely an http:// request
  none,      // closed before its first byte: a port probe, not worth a log line
  failed     // an error or the time limit; the error says which
};

// Reads just enough to tell a TLS handshake from plain HTTP; what was read
// stays in `buffer` for the handshake. Calls `done(FirstBytes, error_code)`.
template <typename Done>
void detectTls(boost::beast::tcp_stream& stream, boost::beast::flat_buffer& buffer, Done done) {
  boost::beast::async_detect_ssl(
      stream, buffer, [&buffer, done = std::move(done)](boost::beast::error_code error, bool isTls) mutable {
        if (error == boost::asio::error::eof && buffer.size() == 0) return done(FirstBytes::none, error);
        if (error) return done(FirstBytes::failed, error);
        done(isTls ? FirstBytes::tlsHello : FirstBytes::plainHttp, error);
      });
}

// The whole answer to a plain HTTP request on the HTTPS port. Glimor shows the
// status line to its user, so it says what to change.
inline const std::string& plainHttpAnswer() {
  static const std::string answer = [] {
    std::string reason = "This service speaks HTTPS, use https://";
    return "HTTP/1.1 400 " + reason +
           "\r\nServer: glimor-server\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           std::to_string(reason.size() + 2) + "\r\nConnection: close\r\n\r\n" + reason + "\r\n";
  }();
  return answer;
}

} // namespace glimor::server
