#include "form_fields.h"
#include "html_page.h"
#include "html_text.h"
#include "json_text.h"
#include "my_session.h"
#include "public_link.h"
#include "service.h"
#include "store_error.h"

// Uploads from a signed-in browser, /my/upload: the files of the upload form,
// stored under the session's token and within its limits, as Glimor's would
// be. The form's own value (the session's), sent as a field of the form, and
// the browser's Origin keep other sites from uploading through the browser.
// A script asks for JSON; the form without one gets a page of the links.
namespace glimor::server {
namespace {

constexpr std::string_view style =
    "body{font-family:sans-serif;max-width:60em;margin:2em auto;padding:0 1em}"
    ".link{width:100%;box-sizing:border-box;font-family:monospace}.error{color:#a00}";

Response refused(const Request& request, int status, const std::string& reason) {
  if (wantsJson(request.accept)) return jsonErrorResponse(status, reason);
  return htmlResponse({.status = status,
                       .title = "Not uploaded",
                       .style = std::string(style),
                       .body = "<p class=\"error\">" + escapeHtml(reason) +
                               "</p>\n<p><a href=\"/my\">Back to your uploads</a></p>\n"});
}

std::string field(std::string_view label, const std::string& url) {
  return "<label>" + std::string(label) + " <input class=\"link\" type=\"text\" readonly value=\"" +
         escapeHtml(url) + "\"></label>\n";
}

CheckedBrowserUpload checkFiles(Service& service, const Request& request) {
  auto session = sessionOf(service, request);
  if (!session) throw Refusal(401, "Your session has ended: sign in on /my again.");
  const std::string base =
      linkBase(service.config.publicUrl, request.scheme, request.host, request.localAddress);
  const auto parts = parseMultipart(request.body, boundaryOfContentType(request.contentType));
  std::string_view csrf;
  for (const MultipartPart& part : parts)
    if (part.name == "csrf" && !part.fileName) csrf = part.content;
  if (!postedFromHere(service, request) || !sameSecret(csrf, session->csrf))
    throw Refusal(403, "This upload did not come from your page of uploads; nothing was stored.");

  CheckedBrowserUpload checked{*session, {}};
  const Caller caller{session->tokenName};
  for (const MultipartPart& part : parts)
    if (part.fileName && !(part.fileName->empty() && part.content.empty())) // a picker left empty sends one
      checked.files.push_back(checkImagePart(service, base, part, caller));
  if (checked.files.empty()) throw Refusal(400, "No file in the upload");
  return checked;
}

Response storeFiles(Service& service, const Request& request, const CheckedBrowserUpload& upload) {
  std::uint64_t bytes = 0;
  for (const CheckedUpload& file : upload.files) bytes += file.content.size();
  service.gate->countUpload(Caller{upload.session.tokenName}, request.clientAddress, bytes,
                            std::chrono::steady_clock::now());
  std::string json, page;
  for (const CheckedUpload& file : upload.files) {
    const StoredLinks links = storeImage(service, request.clientAddress, file);
    json += std::string(json.empty() ? "" : ", ") + "{\"url\": " + jsonString(links.link) +
            ", \"page_url\": " + jsonString(links.page) + ", \"delete_url\": " + jsonString(links.deletion) +
            "}";
    page += "<li>" + escapeHtml(file.fileName) + "\n" + field("Link", links.link) +
            field("Page", links.page) + "</li>\n";
  }
  if (wantsJson(request.accept)) {
    Response response;
    response.contentType = "application/json";
    response.headers = {{"Cache-Control", "no-store"}};
    response.body = "{\"uploads\": [" + json + "]}\n";
    return response;
  }
  return htmlResponse({.title = "Uploaded",
                       .style = std::string(style),
                       .body = "<h1>Uploaded</h1>\n<ul>\n" + page +
                               "</ul>\n<p><a href=\"/my\">Back to your uploads</a></p>\n"});
}

// A refusal as the form's script or page shows it.
Response refusedFor(const Request& request, const Refusal& refusal) {
  Response response = refused(request, refusal.status(), refusal.what());
  for (const auto& header : refusal.headers()) response.headers.push_back(header);
  return response;
}

} // namespace

std::variant<CheckedBrowserUpload, Response> prepareBrowserUpload(Service& service, const Request& request) {
  try {
    return checkFiles(service, request);
  } catch (const Refusal& refusal) {
    return refusedFor(request, refusal);
  }
}

Response finishBrowserUpload(Service& service, const Request& request, const CheckedBrowserUpload& upload) {
  try {
    return storeFiles(service, request, upload);
  } catch (const Refusal& refusal) {
    return refusedFor(request, refusal);
  } catch (const StoreError& failure) { // the service's disk full (507), or its database away (503)
    return refused(request, failure.kind() == StoreError::Kind::diskFull ? 507 : 503, failure.what());
  }
}

Response handleBrowserUpload(Service& service, const Request& request) {
  auto prepared = prepareBrowserUpload(service, request);
  if (auto* refusal = std::get_if<Response>(&prepared)) return std::move(*refusal);
  return finishBrowserUpload(service, request, std::get<CheckedBrowserUpload>(prepared));
}

} // namespace glimor::server
