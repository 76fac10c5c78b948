#include "listener.h"

#include "listen_on.h"
#include "metrics.h"
#include "request_log.h"

#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>

namespace glimor::server {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

namespace {

// As nginx does: out of descriptors, wait this long before accepting again.
constexpr auto acceptPause = std::chrono::milliseconds(500);
constexpr auto logInterval = std::chrono::seconds(1);

bool outOfDescriptors(const boost::system::error_code& error) {
  return error == asio::error::no_descriptors ||
         error == boost::system::errc::too_many_files_open_in_system ||
         error == asio::error::no_buffer_space || error == asio::error::no_memory;
}

} // namespace

Listener::Listener(asio::io_context& io, const tcp::endpoint& endpoint, SessionShared& shared,
                   TlsContexts* tls)
    : io_(io), acceptor_(asio::make_strand(io)), pause_(acceptor_.get_executor()), shared_(shared),
      tls_(tls) {
  listenOn(acceptor_, endpoint, "Cannot listen on");
}

void Listener::start() {
  accept();
}

void Listener::stop() {
  asio::post(acceptor_.get_executor(), [self = shared_from_this()] {
    boost::system::error_code ignored;
    self->acceptor_.close(ignored);
    self->pause_.cancel();
  });
}

void Listener::accept() {
  acceptor_.async_accept(asio::make_strand(io_),
                         [self = shared_from_this()](boost::system::error_code error, tcp::socket socket) {
                           self->onAccepted(error, std::move(socket));
                         });
}

void Listener::onAccepted(boost::system::error_code error, tcp::socket socket) {
  if (error == asio::error::operation_aborted || !acceptor_.is_open()) return;
  if (error) {
    noteRefusal(error);
    if (!outOfDescriptors(error)) return accept();
    pause_.expires_after(acceptPause);
    pause_.async_wait([self = shared_from_this()](boost::system::error_code waitError) {
      if (!waitError && self->acceptor_.is_open()) self->accept();
    });
    return;
  }
  metrics().connectionsAccepted.add();
  // An answer's last short segment goes out at once, not held back until the
  // client acknowledges the rest (which it may delay by 40 ms).
  socket.set_option(tcp::no_delay(true), error);
  if (tls_) {
    auto context = tls_->current();
    std::make_shared<Session<TlsStream>>(TlsStream(std::move(socket), *context), shared_, context)->start();
  } else {
    std::make_shared<Session<PlainStream>>(PlainStream(std::move(socket)), shared_)->start();
  }
  accept();
}

void Listener::noteRefusal(const boost::system::error_code& error) {
  ++refusals_;
  auto now = std::chrono::steady_clock::now();
  if (now - lastLogLine_ < logInterval) return;
  logMessage("cannot accept a connection: " + error.message() + " (" + std::to_string(refusals_) +
             (refusals_ == 1 ? " refusal" : " refusals") + " since the last line)");
  refusals_ = 0;
  lastLogLine_ = now;
}

} // namespace glimor::server
