#include "listen_on.h"

#include "platform/error.h"

namespace glimor::server {

void listenOn(boost::asio::ip::tcp::acceptor& acceptor, const boost::asio::ip::tcp::endpoint& endpoint,
              const std::string& what) {
  namespace asio = boost::asio;
  boost::system::error_code error;
  acceptor.open(endpoint.protocol(), error);
  if (!error) acceptor.set_option(asio::socket_base::reuse_address(true), error);
  if (!error) acceptor.bind(endpoint, error);
  if (!error) acceptor.listen(asio::socket_base::max_listen_connections, error);
  if (error)
    throw Error(what + " " + endpoint.address().to_string() + ":" + std::to_string(endpoint.port()) + ": " +
                error.message());
}

} // namespace glimor::server
