#pragma once
#include "connections.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <list>
#include <memory>
#include <mutex>

namespace glimor::server {

// Serves the process's metrics (GET /metrics, Prometheus text format) on an
// address of its own, never on the service's, so that they can be kept from
// the public: one request per connection, a few connections at a time, each
// within a few seconds. The connections have slots of their own, apart from
// the service's; when all are taken, the one that has waited longest for its
// request makes room, so connections that send nothing cannot keep a scrape out.
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
  // A slot for a new scrape, made by closing the one waiting longest for its
  // request when all are taken; false when every slot is being answered.
  bool takeSlot();

  boost::asio::io_context& io_;
  boost::asio::ip::tcp::acceptor acceptor_;
  boost::asio::steady_timer pause_; // after a failed accept (out of descriptors)
  Connections& connections_;
  std::mutex mutex_;                         // for the two below
  int scrapes_ = 0;                          // connections holding a slot
  std::list<std::weak_ptr<Scrape>> waiting_; // for their request, longest first
};

} // namespace glimor::server
