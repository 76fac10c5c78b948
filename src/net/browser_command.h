#pragma once
#include <string>
#include <string_view>

namespace glimor::net {

// How the browser is started on a link: the program path as application name and the
// command line passed to it.
struct BrowserStart {
  std::string programPath; // the command up to and including its first ".exe"
  std::string commandLine; // the options after that ".exe", one space, the link as written
};

// Cuts the registered browser command (quotes removed) into program path and options.
BrowserStart browserStart(std::string_view browserCommand, std::string_view link);

// Only links on the image service are opened: the link, trimmed of spaces and control characters,
// must begin with the service's base URL byte for byte.
bool isServiceLink(std::string_view link, std::string_view baseUrl);

} // namespace glimor::net
