#include "platform/socket_error.h"

namespace glimor::platform {

std::string socketErrorText(int error) {
  switch (error) {
  case wsa::accessDenied:
    return "Permission denied.";
  case wsa::addressInUse:
    return "Address already in use.";
  case wsa::addressNotAvailable:
    return "Cannot assign requested address.";
  case wsa::networkDown:
    return "Network is down.";
  case wsa::networkUnreachable:
    return "Network is unreachable.";
  case wsa::connectionAborted:
    return "Software caused connection abort.";
  case wsa::connectionReset:
    return "Connection reset by peer.";
  case wsa::noBufferSpace:
    return "No buffer space available.";
  case wsa::notConnected:
    return "Socket is not connected.";
  case wsa::shutDown:
    return "Cannot send after socket shutdown.";
  case wsa::timedOut:
    return "Connection timed out.";
  case wsa::connectionRefused:
    return "Connection refused.";
  case wsa::hostDown:
    return "Host is down.";
  case wsa::hostUnreachable:
    return "No route to host.";
  case wsa::hostNotFound:
    return "Host not found.";
  case wsa::tryAgain:
    return "Non-authoritative response: Host not found.";
  case wsa::noRecovery:
    return "Non-recoverable error.";
  case wsa::noData:
    return "Valid name, no data record of requested type.";
  default:
    return {};
  }
}

std::string socketErrorMessage(int error) {
  std::string text = socketErrorText(error);
  if (text.empty()) text = "Unknown socket error.";
  return "Socket Error # " + std::to_string(error) + "\r\n" + text;
}

} // namespace glimor::platform
