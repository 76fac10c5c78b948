#pragma once
#include <string>
#include <string_view>

namespace glimor::net {

// The service on this computer that glimor-server provides out of the box.
inline constexpr std::string_view defaultServiceHost = "localhost:8080";

// Every address the program uses on the image service, formed from one service host
// ("host" or "host:port").
struct ServiceEndpoints {
  explicit ServiceEndpoints(std::string serviceHost = std::string(defaultServiceHost))
      : host(std::move(serviceHost)) {}

  std::string host;

  std::string baseUrl() const { return "http://" + host + "/"; }
  std::string uploadUrl() const { return "http://" + host + "/guestglimor.php"; }
  std::string feedbackUrl() const { return "http://" + host + "/glimor/index.php?do=contact"; }
  std::string versionFileUrl() const { return "http://" + host + "/newglimor.txt"; }
};

} // namespace glimor::net
