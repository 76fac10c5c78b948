#pragma once
#include "session.h"
#include "tls_context.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <memory>

namespace glimor::server {

// Accepts connections and starts a Session for each, until stopped. When the
// process runs out of descriptors it stops accepting for a short pause rather
// than retrying at once, and says so in at most one log line a second.
class Listener : public std::enable_shared_from_this<Listener> {
public:
  // Throws Error when the address cannot be bound. With `tls`, every
  // connection is HTTPS; without, plain HTTP.
  Listener(boost::asio::io_context& io, const boost::asio::ip::tcp::endpoint& endpoint, SessionShared& shared,
           TlsContexts* tls);

  void start();
  void stop(); // callable from any thread
  boost::asio::ip::tcp::endpoint endpoint() const { return acceptor_.local_endpoint(); }

private:
  void accept();
  void onAccepted(boost::system::error_code error, boost::asio::ip::tcp::socket socket);
  void noteRefusal(const boost::system::error_code& error);

  boost::asio::io_context& io_;
  boost::asio::ip::tcp::acceptor acceptor_;
  boost::asio::steady_timer pause_;
  SessionShared& shared_;
  TlsContexts* tls_;
  std::uint64_t refusals_ = 0; // failed accepts since the last log line
  std::chrono::steady_clock::time_point lastLogLine_;
};

} // namespace glimor::server
