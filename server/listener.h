#pragma once
#include "connections.h"
#include "service.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/thread_pool.hpp>
#include <memory>

namespace glimor::server {

// Accepts connections and starts a Session for each, until stopped.
class Listener : public std::enable_shared_from_this<Listener> {
public:
  // Throws Error when the address cannot be bound. With `tls`, every
  // connection is HTTPS; without, plain HTTP.
  Listener(boost::asio::io_context& io, const boost::asio::ip::tcp::endpoint& endpoint, Service& service,
           Connections& connections, boost::asio::thread_pool& diskWork, boost::asio::ssl::context* tls);

  void start();
  void stop(); // callable from any thread
  boost::asio::ip::tcp::endpoint endpoint() const { return acceptor_.local_endpoint(); }

private:
  void accept();

  boost::asio::io_context& io_;
  boost::asio::ip::tcp::acceptor acceptor_;
  Service& service_;
  Connections& connections_;
  boost::asio::thread_pool& diskWork_;
  boost::asio::ssl::context* tls_;
};

} // namespace glimor::server
