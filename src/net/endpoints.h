#pragma once
#include <functional>
#include <string>
#include <string_view>

namespace glimor::net {

// The service on this computer that glimor-server provides out of the box.
inline constexpr std::string_view defaultServiceHost = "localhost:8080";

// Every address the program uses on the image service, formed from one service host setting:
// "https://host[:port]", "http://host[:port]" or, plain http, "host[:port]".
struct ServiceEndpoints {
  explicit ServiceEndpoints(std::string serviceHost = std::string(defaultServiceHost));

  std::string origin; // scheme, "://" and host, e.g. "https://img.example:8443"

  std::string baseUrl() const { return origin + "/"; }
  std::string uploadUrl() const { return origin + "/guestglimor.php"; }
  std::string feedbackUrl() const { return origin + "/glimor/index.php?do=contact"; }
  std::string versionFileUrl() const { return origin + "/newglimor.txt"; }
};

// The endpoints as the settings name them now: read afresh by each use, so a changed host counts
// from the next one.
using EndpointsSource = std::function<ServiceEndpoints()>;

} // namespace glimor::net
