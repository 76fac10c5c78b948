#include "html_text.h"
#include "public_link.h"
#include "service.h"

namespace glimor::server {
namespace {

// The Glimor.ini Host value that makes Glimor use the link base "SCHEME://host/":
// the bare host for http, the whole URL for https.
std::string_view hostSetting(std::string_view base) {
  base.remove_suffix(1);
  if (base.starts_with("http://")) base.remove_prefix(std::string_view("http://").size());
  return base;
}

} // namespace

Response handleHomePage(Service& service, const Request& request) {
  std::string base = linkBase(service.config.publicUrl, request.scheme, request.host, request.localAddress);
  std::string host = escapeHtml(hostSetting(base));
  // A certificate from a private CA is trusted only once Glimor is given that CA.
  std::string privateCaNote =
      base.starts_with("https://")
          ? "<p>If this service's certificate comes from a private CA, also add a line\n"
            "<code>CACertificate=</code> with the path of that CA's certificate (PEM or DER).</p>\n"
          : "";
  Response response;
  response.contentType = "text/html; charset=utf-8";
  response.headers = {{"Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'"},
                      {"X-Content-Type-Options", "nosniff"}};
  response.body =
      R"(<!DOCTYPE html>
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
Host=)" +
      host + R"(</pre>
)" + privateCaNote +
      R"(<p>Press the hot key (Alt+F2 unless you chose another), select a part of the screen and publish it:
the link starts with <code>)" +
      escapeHtml(base) + R"(</code>.</p>
<h2>Your uploads</h2>
<p>With an upload token, <a href="/my">your uploads</a> are listed with their links, and can be deleted.
Other programs (ShareX, scripts with curl) upload here too and get their answer as JSON when they
ask for it; the operator can make a ShareX uploader for a token.</p>
</body>
</html>
)";
  return response;
}

} // namespace glimor::server
