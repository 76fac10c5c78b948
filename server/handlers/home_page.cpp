#include "html_page.h"
#include "html_text.h"
#include "my_session.h"
#include "public_link.h"
#include "service.h"
#include "upload_form.h"

namespace glimor::server {
namespace {

// The Glimor.ini Host value that makes Glimor use the link base "SCHEME://host/":
// the bare host for http, the whole URL for https.
std::string_view hostSetting(std::string_view base) {
  base.remove_suffix(1);
  if (base.starts_with("http://")) base.remove_prefix(std::string_view("http://").size());
  return base;
}

constexpr std::string_view style =
    "body{font-family:sans-serif;max-width:40em;margin:2em "
    "auto;line-height:1.4}pre{background:#eee;padding:.5em}"
    ".meta{color:#555}.link{width:100%;box-sizing:border-box;font-family:monospace}.error{color:#a00}";

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
  // A browser signed in on /my may upload from here too.
  const auto session = sessionOf(service, request);
  const std::string uploads = session ? uploadForm(*session)
                                      : "<p>Sign in on <a href=\"/my\">your uploads</a> with an upload token "
                                        "to upload from this browser: "
                                        "choose files, drop them or paste a picture.</p>\n";
  return htmlResponse(
      {.title = "Glimor image service",
       .style = std::string(style) + (session ? std::string(uploadFormStyle) : ""),
       .body =
           R"(<h1>Glimor image service</h1>
<p>This is a <code>glimor-server</code>: it keeps the screen captures that Glimor uploads and serves
each one under the link that Glimor puts on the clipboard. It also receives Glimor's feedback form
and publishes Glimor's updates.</p>
<h2>Point Glimor at this service</h2>
<p>Put these lines into <code>Glimor.ini</code> beside <code>Glimor.exe</code> and restart Glimor:</p>
<pre>[Service]
Host=)" + host +
           R"(</pre>
)" + privateCaNote +
           R"(<p>Press the hot key (Alt+F2 unless you chose another), select a part of the screen and publish it:
the link starts with <code>)" +
           escapeHtml(base) + R"(</code>.</p>
<h2>Your uploads</h2>
<p>With an upload token, <a href="/my">your uploads</a> are listed with their links, and can be deleted.
Other programs (ShareX, scripts with curl) upload here too and get their answer as JSON when they
ask for it; the operator can make a ShareX uploader for a token.</p>
)" + uploads,
       .cacheControl = "no-store",
       .script = session ? uploadFormScript : ""});
}

} // namespace glimor::server
