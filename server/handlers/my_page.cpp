#include "browser_sessions.h"
#include "form_fields.h"
#include "html_page.h"
#include "html_text.h"
#include "image_id.h"
#include "links.h"
#include "my_session.h"
#include "public_link.h"
#include "service.h"
#include "token_store.h"
#include "upload_form.h"
#include "upload_texts.h"

#include <cctype>

// The page of one's uploads, /my: a form asks for the upload token once, then
// a session cookie (never the token) lets the browser list that token's
// uploads, newest first, and delete them. Plain HTML: every action is a link
// or a form, so nothing needs a script, and the page loads nothing but its
// own thumbnails.
namespace glimor::server {
namespace {

constexpr std::string_view signInCookieName = "glimor_sign_in"; // the sign-in form's own value
constexpr int perPage = 50;

constexpr std::string_view style =
    "body{font-family:sans-serif;max-width:60em;margin:2em auto;padding:0 1em;line-height:1.4}"
    "ul{list-style:none;padding:0}li{display:flex;gap:1em;align-items:center;border-bottom:1px solid #ddd;"
    "padding:.5em 0}li>a{flex:0 0 160px;text-align:center}li img{max-width:160px;max-height:160px;"
    "vertical-align:middle}li>div{flex:1}.link{width:100%;box-sizing:border-box;font-family:monospace}.meta{"
    "color:#555}"
    ".error{color:#a00}form.inline{display:inline}nav a{margin-right:1em}";

Response page(int status, const std::string& title, const std::string& content, bool uploads = false) {
  return htmlResponse({.status = status,
                       .title = title,
                       .style = std::string(style) + (uploads ? std::string(uploadFormStyle) : ""),
                       .body = "<h1>" + escapeHtml(title) + "</h1>\n" + content,
                       .script = uploads ? uploadFormScript : ""});
}

Response seeOther(std::string location) {
  Response response;
  response.status = 303;
  response.contentType = "text/plain; charset=utf-8";
  response.headers = {{"Location", std::move(location)}, {"Cache-Control", "no-store"}};
  response.body = "See " + response.headers[0].second + "\r\n";
  return response;
}

// The cookies hold random values alone; only the service reads them, never a
// script. Without `maxAge` one ends with the browser. The session's goes to
// the home page too, which offers a signed-in browser its upload form.
std::string pageCookie(const Service& service, const Request& request, std::string_view name,
                       std::string_view value, std::optional<std::chrono::seconds> maxAge,
                       std::string_view path = "/my") {
  bool secure = request.scheme == "https" ||
                (service.config.publicUrl && service.config.publicUrl->starts_with("https://"));
  return std::string(name) + "=" + std::string(value) + "; Path=" + std::string(path) +
         (maxAge ? "; Max-Age=" + std::to_string(maxAge->count()) : "") + "; HttpOnly; SameSite=Strict" +
         (secure ? "; Secure" : "");
}

std::string sessionCookie(const Service& service, const Request& request, std::string_view value,
                          std::chrono::seconds maxAge) {
  return pageCookie(service, request, sessionCookieName, value, maxAge, "/");
}

std::string hiddenField(std::string_view name, std::string_view value) {
  return "<input type=\"hidden\" name=\"" + std::string(name) + "\" value=\"" + escapeHtml(value) + "\">";
}

// The sign-in form carries a value of its own that the browser showing it
// also keeps in a cookie: another site can post neither. The browser's value
// is kept while it is one of ours, so that two open forms both work.
Response signInPage(const Service& service, const Request& request, int status, std::string_view problem) {
  std::string value(cookieValue(request.cookie, signInCookieName));
  if (value.size() != 43 || value.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                    "0123456789-_") != std::string::npos)
    value = newUploadToken();
  std::string content;
  if (!problem.empty()) content += "<p class=\"error\">" + escapeHtml(problem) + "</p>\n";
  content +=
      "<form method=\"post\" action=\"/my/login\">" + hiddenField("csrf", value) +
      "\n<label for=\"token\">Upload token</label>\n"
      "<input id=\"token\" name=\"token\" type=\"password\" autocomplete=\"current-password\" required>\n"
      "<button type=\"submit\">Show my uploads</button>\n</form>\n"
      "<p class=\"meta\">The token is sent once: the browser then keeps a session for up to 8 hours, "
      "never the token.</p>\n";
  Response response = page(status, "Your uploads", content);
  response.headers.emplace_back("Set-Cookie", pageCookie(service, request, signInCookieName, value, {}));
  return response;
}

// "scheme://host[:port]" of an Origin or Referer line, lower-cased; empty
// for an opaque origin ("null") or anything else without a host.
std::string originOf(std::string_view url) {
  std::size_t scheme = url.find("://");
  if (scheme == std::string_view::npos || scheme == 0) return "";
  std::string origin(url.substr(0, url.find_first_of("/?#", scheme + 3)));
  for (char& c : origin) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return origin.size() > scheme + 3 ? origin : "";
}

int pageNumber(std::string_view text) {
  int number = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || number > 100000) return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

Response listPage(Service& service, const Request& request, const BrowserSession& session, int number) {
  ImageQuery query;
  query.tokenName = session.tokenName;
  query.newestFirst = true;
  query.offset = std::int64_t(number) * perPage;
  query.limit = perPage + 1; // one more tells whether an older page follows
  auto images = service.images->list(query);
  const bool older = images.size() > std::size_t(perPage);
  if (older) images.pop_back();

  const std::string base =
      linkBase(service.config.publicUrl, request.scheme, request.host, request.localAddress);
  const std::string csrf = hiddenField("csrf", session.csrf);
  std::string content =
      "<p>Uploads with the token <strong>" + escapeHtml(session.tokenName) +
      "</strong>, newest first.</p>\n<form class=\"inline\" method=\"post\" action=\"/my/logout\">" + csrf +
      "<button type=\"submit\">Sign out</button></form>\n" + uploadForm(session);
  if (images.empty())
    content += "<p>No uploads" + std::string(number > 0 ? " on this page" : " yet") + ".</p>\n";
  content += "<ul>\n";
  for (const ImageRecord& image : images) {
    const std::string link = base + links::imagePath(image.id, image.type.extension);
    content += "<li><a href=\"" + escapeHtml(link) + "\"><img src=\"/" +
               escapeHtml(links::thumbnailPath(image.id)) + "\" alt=\"Upload " + escapeHtml(image.id) +
               "\"></a>\n<div>"
               "<input class=\"link\" type=\"text\" readonly value=\"" +
               escapeHtml(link) + "\" aria-label=\"Link to copy\">\n<div class=\"meta\">" +
               (image.durationMs ? "<span class=\"duration\">" +
                                       std::string(image.type.isVideo() ? "Video" : "Animation") + ", " +
                                       durationText(*image.durationMs) + "</span> &middot; "
                                 : std::string()) +
               escapeHtml(sizeText(image.size)) + " &middot; " + escapeHtml(dateText(image.createdAt)) +
               "</div>\n<form method=\"post\" action=\"/my/delete\">" + hiddenField("id", image.id) +
               hiddenField("page", std::to_string(number)) + csrf +
               "<button type=\"submit\">Delete</button></form></div></li>\n";
  }
  content += "</ul>\n<nav>";
  if (number > 0) content += "<a href=\"/my?page=" + std::to_string(number - 1) + "\">Newer</a>";
  if (older) content += "<a href=\"/my?page=" + std::to_string(number + 1) + "\">Older</a>";
  content += "</nav>\n";
  return page(200, "Your uploads", content, true);
}

} // namespace

bool postedFromHere(const Service& service, const Request& request) {
  std::string_view claimed = !request.origin.empty() ? request.origin : request.referer;
  if (claimed.empty()) return true;
  std::string origin = originOf(claimed);
  if (origin.empty()) return false;
  if (service.config.publicUrl && origin == originOf(*service.config.publicUrl)) return true;
  if (!request.host) return false;
  std::string host = *request.host;
  for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return std::string_view(origin).substr(origin.find("://") + 3) == host;
}

// The session the request's cookie names, while its token is still valid.
std::optional<BrowserSession> sessionOf(Service& service, const Request& request) {
  std::string_view id = cookieValue(request.cookie, sessionCookieName);
  auto session = service.sessions->find(id, BrowserSessions::Clock::now());
  if (session && service.gate->tokenNameByHash(session->tokenHash) != session->tokenName) {
    service.sessions->close(id); // the token was revoked
    return std::nullopt;
  }
  return session;
}

namespace {

Response signIn(Service& service, const Request& request) {
  // Else another site could sign a visitor's browser in with its own token.
  std::string_view value = cookieValue(request.cookie, signInCookieName);
  if (!postedFromHere(service, request) || value.empty() ||
      !sameSecret(formField(request.body, "csrf").value_or(""), value))
    return signInPage(service, request, 403,
                      "This sign-in did not come from this service's own page, so nobody was signed in. "
                      "Give your upload token here.");
  // A pasted token may bring spaces or a line break along.
  std::string token = formField(request.body, "token").value_or("");
  const std::size_t first = token.find_first_not_of(" \t\r\n");
  token =
      first == std::string::npos ? "" : token.substr(first, token.find_last_not_of(" \t\r\n") - first + 1);
  std::string hash = tokenHash(token);
  auto name = service.gate->tokenNameByHash(hash);
  if (token.empty() || !name) return signInPage(service, request, 401, "Upload token not valid");
  std::string id = service.sessions->open(hash, *name, BrowserSessions::Clock::now());
  Response response = seeOther("/my");
  response.headers.emplace_back("Set-Cookie", sessionCookie(service, request, id, BrowserSessions::lifetime));
  return response;
}

} // namespace

Response handleMyPage(Service& service, const Request& request) {
  const std::string_view path = request.path();
  const bool read = request.method == "GET" || request.method == "HEAD";
  if (path == "/my" && read) {
    auto session = sessionOf(service, request);
    if (!session) return signInPage(service, request, 200, "");
    return listPage(service, request, *session, pageNumber(formField(request.query(), "page").value_or("0")));
  }
  if (request.method != "POST" || (path != "/my/login" && path != "/my/delete" && path != "/my/logout"))
    return textResponse(404, "Not found");
  if (path == "/my/login") return signIn(service, request);

  // Every other form carries the session's own value, which no other site can know.
  auto session = sessionOf(service, request);
  if (!session)
    return signInPage(service, request, 401, "Your session has ended: give the upload token again.");
  if (!sameSecret(formField(request.body, "csrf").value_or(""), session->csrf))
    return page(403, "Not done",
                "<p class=\"error\">This form did not come from your page of uploads; "
                "nothing was changed.</p>\n<p><a href=\"/my\">Back to your uploads</a></p>\n");
  if (path == "/my/logout") {
    service.sessions->close(cookieValue(request.cookie, sessionCookieName));
    Response response = seeOther("/my");
    response.headers.emplace_back("Set-Cookie", sessionCookie(service, request, "", std::chrono::seconds(0)));
    return response;
  }
  // Only the session's own token's uploads can be deleted here.
  std::string id = formField(request.body, "id").value_or("");
  ImageQuery mine;
  mine.id = id;
  mine.tokenName = session->tokenName;
  if (!isImageId(id) || service.images->list(mine).empty())
    return textResponse(404, "No such upload of yours");
  service.images->remove(id);
  return seeOther("/my?page=" + std::to_string(pageNumber(formField(request.body, "page").value_or("0"))));
}

} // namespace glimor::server
