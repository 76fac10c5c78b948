#include "listener.h"

#include "platform/error.h"
#include "request_log.h"
#include "session.h"

#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>

namespace glimor::server {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

Listener::Listener(asio::io_context& io, const tcp::endpoint& endpoint, Service& service,
                   Connections& connections, asio::thread_pool& diskWork, asio::ssl::context* tls)
    : io_(io), acceptor_(asio::make_strand(io)), service_(service), connections_(connections),
      diskWork_(diskWork), tls_(tls) {
  boost::system::error_code error;
  acceptor_.open(endpoint.protocol(), error);
  if (!error) acceptor_.set_option(asio::socket_base::reuse_address(true), error);
  if (!error) acceptor_.bind(endpoint, error);
  if (!error) acceptor_.listen(asio::socket_base::max_listen_connections, error);
  if (error)
    throw Error("Cannot listen on " + endpoint.address().to_string() + ":" + std::to_string(endpoint.port()) +
                ": " + error.message());
}

void Listener::start() {
  accept();
}

void Listener::stop() {
  asio::post(acceptor_.get_executor(), [self = shared_from_this()] {
    boost::system::error_code ignored;
    self->acceptor_.close(ignored);
  });
}

void Listener::accept() {
  acceptor_.async_accept(asio::make_strand(io_), [self = shared_from_this()](boost::system::error_code error,
                                                                             tcp::socket socket) {
    if (error == asio::error::operation_aborted || !self->acceptor_.is_open()) return;
    if (error)
      logMessage("cannot accept a connection: " + error.message());
    else if (self->tls_)
      std::make_shared<Session<TlsStream>>(TlsStream(std::move(socket), *self->tls_), self->service_,
                                           self->connections_, self->diskWork_)
          ->start();
    else
      std::make_shared<Session<PlainStream>>(PlainStream(std::move(socket)), self->service_,
                                             self->connections_, self->diskWork_)
          ->start();
    self->accept();
  });
}

} // namespace glimor::server
