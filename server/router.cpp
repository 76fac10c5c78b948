#include "refusal.h"
#include "service.h"

namespace glimor::server {
namespace {

constexpr std::string_view uploadPath = "/guestglimor.php";
constexpr std::string_view feedbackPath = "/glimor/index.php";
constexpr std::string_view versionPath = "/newglimor.txt";
constexpr std::string_view imagePrefix = "/i/";
constexpr std::string_view deletionPrefix = "/d/";
constexpr std::uint64_t formLimit = 64 * 1024;
// Room for the multipart framing around the image, including a long file name.
constexpr std::uint64_t multipartOverhead = 64 * 1024;

bool isRead(const Request& request) {
  return request.method == "GET" || request.method == "HEAD";
}

Response methodNotAllowed(std::string_view allowed) {
  Response response = textResponse(405, "Method not allowed here, use " + std::string(allowed));
  response.headers.emplace_back("Allow", allowed);
  return response;
}

Response dispatch(Service& service, const Request& request) {
  std::string_view path = request.path();
  if (!path.starts_with('/')) throw Refusal(400, "Request target must start with /");

  if (path == uploadPath) {
    if (request.method != "POST") return methodNotAllowed("POST");
    return handleUpload(service, request,
                        service.gate->admitUpload(request, std::chrono::steady_clock::now()));
  }
  if (path == feedbackPath && request.query() == "do=contact") {
    if (request.method != "POST") return methodNotAllowed("POST");
    return handleFeedback(service, request,
                          service.gate->admitFeedback(request, std::chrono::steady_clock::now()));
  }
  if (path.starts_with(deletionPrefix)) {
    if (!isRead(request) && request.method != "POST") return methodNotAllowed("GET, HEAD, POST");
    return handleDeletion(service, request, path.substr(deletionPrefix.size()));
  }
  if (!isRead(request)) {
    if (path == "/" || path == versionPath || path.starts_with(imagePrefix))
      return methodNotAllowed("GET, HEAD");
    return textResponse(404, "Not found");
  }
  if (path == "/") return handleHomePage(service, request);
  if (path == versionPath) return handleVersionFile(service);
  if (path.starts_with(imagePrefix)) return handleImage(service, request, path.substr(imagePrefix.size()));
  return handleExecutable(service, request);
}

} // namespace

std::uint64_t bodyLimit(const Config& config, std::string_view target) {
  std::string_view path = target.substr(0, target.find('?'));
  if (path == uploadPath) return config.maxUploadBytes + multipartOverhead;
  return formLimit;
}

Response route(Service& service, const Request& request) {
  try {
    return dispatch(service, request);
  } catch (const Refusal& refusal) {
    Response response = textResponse(refusal.status(), refusal.what());
    for (const auto& header : refusal.headers()) response.headers.push_back(header);
    return response;
  }
}

} // namespace glimor::server
