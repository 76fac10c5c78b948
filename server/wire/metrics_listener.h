#pragma once
#include "connections.h"

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <memory>

namespace glimor::server {

// Serves the process's metrics (GET /metrics, Prometheus text format) on an
// address of its own, never on the service's, so that they can be kept from
// the public: one request per connection, a few connections at a time, each
// within a few seconds.
class MetricsListener : public std::enable_shared_from_this<MetricsListener> {
public:
  // Throws Error when the address cannot be bound.
  MetricsListener(boost::asio::io_context& io, const boost::asio::ip::tcp::endpoint& endpoint,
                  Connections& connections);

  void start();
  void stop(); // callable from any thread
  boost::asio::ip::tcp::endpoint endpoint() const { return acceptor_.local_endpoint(); }

private:
  class Scrape;

  void accept();

  boost::asio::io_context& io_;
  boost::asio::ip::tcp::acceptor acceptor_;
  boost::asio::steady_timer pause_; // after a failed accept (out of descriptors)
  Connections& connections_;
  std::atomic<int> scrapes_{0};
};

} // namespace glimor::server
