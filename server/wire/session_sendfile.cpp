#include "session.h"

#include "request_log.h"

#include <algorithm>
#include <boost/asio/post.hpp>
#include <cerrno>
#include <openssl/bio.h>
#include <openssl/ssl.h>
#include <sys/sendfile.h>

// Bodies kept in a file (large images, update executables) go from the page
// cache to the socket with sendfile(2), copied neither into the service nor
// through the disk threads. Over TLS that needs the kernel to encrypt (kTLS):
// OpenSSL then offers SSL_sendfile(). Otherwise the body goes out in parts as
// before (session_answer.cpp).
namespace glimor::server {

namespace asio = boost::asio;
namespace beast = boost::beast;

namespace {

// Bytes one turn sends before the thread serves other connections; a client
// on loopback may take them as fast as the kernel copies.
constexpr std::uint64_t bytesPerTurn = 8ull << 20;

} // namespace

template <typename Stream> bool Session<Stream>::sendsFromFile() {
  if (request_.streamer->descriptor() < 0) return false;
  if constexpr (overTls) {
    // OpenSSL switches to kTLS only when it writes to the socket itself and the
    // kernel has the tls module. Boost.Asio's stream gives it a memory BIO,
    // so this stays false until the stream writes through a socket BIO.
    return BIO_get_ktls_send(SSL_get_wbio(stream_.native_handle())) == 1;
  } else {
    return true;
  }
}

// Bytes sent, or -1 with errno set; EAGAIN when the socket's buffer is full.
template <typename Stream>
std::int64_t Session<Stream>::sendFileOnce(int file, std::uint64_t offset, std::size_t length) {
  if constexpr (overTls) {
    ossl_ssize_t sent = SSL_sendfile(stream_.native_handle(), file, static_cast<off_t>(offset), length, 0);
    if (sent < 0 && SSL_get_error(stream_.native_handle(), static_cast<int>(sent)) == SSL_ERROR_WANT_WRITE)
      errno = EAGAIN;
    else if (sent < 0 && errno == 0)
      errno = EIO;
    return sent;
  } else {
    auto position = static_cast<off_t>(offset);
    return ::sendfile(tcp().socket().native_handle(), file, &position, length);
  }
}

template <typename Stream> void Session<Stream>::sendFromFile(bool keepAlive) {
  BodyStreamer& streamer = *request_.streamer;
  beast::error_code ignored;
  if (!tcp().socket().native_non_blocking()) tcp().socket().native_non_blocking(true, ignored);
  std::uint64_t thisTurn = 0;
  while (!streamer.done()) {
    if (std::chrono::steady_clock::now() > streamer.deadline())
      return onWritten(keepAlive, false, beast::error::timeout);
    if (thisTurn >= bytesPerTurn)
      return asio::post(stream_.get_executor(),
                        [self = this->shared_from_this(), keepAlive] { self->sendFromFile(keepAlive); });
    auto length = static_cast<std::size_t>(std::min<std::uint64_t>(streamer.left(), bytesPerTurn));
    errno = 0;
    std::int64_t sent = sendFileOnce(streamer.descriptor(), streamer.next(), length);
    if (sent > 0) {
      streamer.advance(static_cast<std::uint64_t>(sent));
      thisTurn += static_cast<std::uint64_t>(sent);
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return awaitWritable(keepAlive);
    // The file ended early (cut short on disk) or the connection failed; the
    // header is out, so only a cut connection can say so.
    if (sent == 0) logMessage("error: the body's file ended early");
    return onWritten(keepAlive, false,
                     sent == 0 ? beast::error_code(asio::error::eof)
                               : beast::error_code(errno, boost::system::system_category()));
  }
  onWritten(keepAlive, false, {});
}

// Each pause within `timeout`, and the whole body within its deadline: the
// timer cancels the wait when either has passed.
template <typename Stream> void Session<Stream>::awaitWritable(bool keepAlive) {
  if (!writableTimer_) writableTimer_.emplace(stream_.get_executor());
  writableTimer_->expires_at(
      std::min(std::chrono::steady_clock::now() + timeout(), request_.streamer->deadline()));
  writableTimer_->async_wait([self = this->shared_from_this()](beast::error_code error) {
    // A wait that ended just before is followed by a new expiry; that one stands.
    if (!error && std::chrono::steady_clock::now() >= self->writableTimer_->expiry())
      self->tcp().socket().cancel();
  });
  tcp().socket().async_wait(asio::socket_base::wait_write,
                            [self = this->shared_from_this(), keepAlive](beast::error_code error) {
                              self->writableTimer_->cancel();
                              if (error == asio::error::operation_aborted) error = beast::error::timeout;
                              if (error) return self->onWritten(keepAlive, false, error);
                              self->sendFromFile(keepAlive);
                            });
}

#define GLIMOR_SESSION_SENDFILE(Stream)                                                                      \
  template bool Session<Stream>::sendsFromFile();                                                            \
  template std::int64_t Session<Stream>::sendFileOnce(int, std::uint64_t, std::size_t);                      \
  template void Session<Stream>::sendFromFile(bool);                                                         \
  template void Session<Stream>::awaitWritable(bool);
GLIMOR_SESSION_SENDFILE(PlainStream)
GLIMOR_SESSION_SENDFILE(TlsStream)
#undef GLIMOR_SESSION_SENDFILE

} // namespace glimor::server
