#pragma once
#include <string>
#include <string_view>

namespace glimor::net {

// How the browser is started on a link: the program path as application name and the
// command line passed to it.
struct BrowserStart {
  std::string programPath; // the command up to and including its first ".exe"
  std::string commandLine; // the options after that ".exe", one space, the link as one quoted argument
};

// Cuts the registered browser command (quotes removed) into program path and options.
BrowserStart browserStart(std::string_view browserCommand, std::string_view link);

// Only links on the image service are opened: the link, trimmed of spaces, must begin with the
// service's base URL byte for byte. A link with a double quote or a control character anywhere
// is never opened: it could end its argument early and hand the browser switches of its own.
bool isServiceLink(std::string_view link, std::string_view baseUrl);

} // namespace glimor::net
