#pragma once
#include "platform/socket_loops.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <cstring>
#include <string>

// The one system lookup both shells make: getaddrinfo speaks the same on POSIX and WinSock.
namespace glimor::os {

// The addresses of `name` for a stream connection, of either family, in the order the system gives
// them; or `errorNumber(result)` (the WinSock number of getaddrinfo's result) when there are none.
template <class ErrorNumber>
platform::socket_loops::Lookup lookUpAddresses(const std::string& name, ErrorNumber errorNumber) {
  platform::socket_loops::Lookup lookup;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC; // the service may answer on either family
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  int result = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
  if (result != 0 || list == nullptr) {
    lookup.error = errorNumber(result);
    return lookup;
  }
  for (const addrinfo* entry = list; entry; entry = entry->ai_next) {
    platform::socket_loops::IpAddress address;
    if (entry->ai_family == AF_INET) {
      std::memcpy(address.bytes.data(), &reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr, 4);
    } else if (entry->ai_family == AF_INET6) {
      address.ipv6 = true;
      std::memcpy(address.bytes.data(), &reinterpret_cast<const sockaddr_in6*>(entry->ai_addr)->sin6_addr,
                  16);
    } else {
      continue;
    }
    lookup.addresses.push_back(address);
  }
  ::freeaddrinfo(list);
  return lookup;
}

} // namespace glimor::os
