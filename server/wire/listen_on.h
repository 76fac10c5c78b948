#pragma once
#include <boost/asio/ip/tcp.hpp>

#include <string>

namespace glimor::server {

// Opens, binds and listens `acceptor` on `endpoint` (the address reusable at once after a restart).
// Throws Error "<what> ADDRESS:PORT: reason" when any step fails.
void listenOn(boost::asio::ip::tcp::acceptor& acceptor, const boost::asio::ip::tcp::endpoint& endpoint,
              const std::string& what);

} // namespace glimor::server
