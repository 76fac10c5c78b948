#include "public_link.h"
#include "service.h"

namespace glimor::server {
namespace {

std::string escapeHtml(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
    case '&':
      escaped += "&amp;";
      break;
    case '<':
      escaped += "&lt;";
      break;
    case '>':
      escaped += "&gt;";
      break;
    case '"':
      escaped += "&quot;";
      break;
    default:
      escaped += c;
    }
  }
  return escaped;
}

// The host part of a link base "http://host/".
std::string_view hostOf(std::string_view base) {
  base.remove_prefix(std::string_view("http://").size());
  base.remove_suffix(1);
  return base;
}

} // namespace

Response handleHomePage(Service& service, const Request& request) {
  std::string host =
      escapeHtml(hostOf(linkBase(service.config.publicUrl, request.host, request.localAddress)));
  Response response;
  response.contentType = "text/html; charset=utf-8";
  response.headers = {{"Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'"},
                      {"X-Content-Type-Options", "nosniff"}};
  response.body = R"(<!DOCTYPE html>
<html lang="en">
<head><meta charset="utf-8"><title>Glimor image service</title>
<style>body{font-family:sans-serif;max-width:40em;margin:2em auto;line-height:1.4}pre{background:#eee;padding:.5em}</style>
</head>
<body>
<h1>Glimor image service</h1>
<p>This is a <code>glimor-server</code>: it keeps the screen captures that Glimor uploads and serves
each one under the link that Glimor puts on the clipboard. It also receives Glimor's feedback form
and publishes Glimor's updates.</p>
<h2>Point Glimor at this service</h2>
<p>Put these lines into <code>Glimor.ini</code> beside <code>Glimor.exe</code> and restart Glimor:</p>
<pre>[Service]
Host=)" + host + R"(</pre>
<p>Press the hot key (Alt+F2 unless you chose another), select a part of the screen and publish it:
the link starts with <code>http://)" +
                  host + R"(/</code>.</p>
</body>
</html>
)";
  return response;
}

} // namespace glimor::server
