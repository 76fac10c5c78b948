#include "admission.h"

#include "platform/ascii_case.h"
#include "routes.h"

namespace glimor::server {
namespace {

constexpr std::size_t maxHeaderLines = 64;

// Whether the head shows a request from another computer, come through an HTTP
// proxy in front of a service on loopback: it names a host that is not this
// computer, or says whom it was forwarded for.
bool fromOutside(const RequestHead& head) {
  if (head.forwarded) return true;
  if (head.host.empty()) return false;
  std::string_view host = head.host;
  if (host.starts_with('['))
    host = host.substr(1, host.find(']') - 1);
  else
    host = host.substr(0, host.find(':'));
  return !isLoopbackAddress(ascii::lowered(host));
}

} // namespace

std::variant<Admitted, Turndown> admit(const RequestHead& head, const Config& config, UploadGate& gate,
                                       std::chrono::steady_clock::time_point now) {
  if (head.headerLines > maxHeaderLines) return Turndown{431, "Too many header lines"};
  if (head.hostLines > 1) return Turndown{400, "More than one Host line"};
  // The route and its methods are known from the request line: a request no
  // route answers is refused before its body, whatever body it declares.
  if (!head.target.starts_with('/')) return Turndown{400, "Request target must start with /"};
  const Route route = routeOf(head.target);
  std::string_view allowed = allowedMethods(route);
  if (!allowsMethod(allowed, head.method)) {
    if (route == Route::file) return Turndown{404, "Not found"};
    return Turndown{
        405, "Method not allowed here, use " + std::string(allowed), {{"Allow", std::string(allowed)}}};
  }
  std::uint64_t limit = bodyLimit(config, route);
  // A deletion needs no body, so its POST may come without one.
  if (head.method == "POST" && !head.contentLength && !head.chunked && route != Route::deletion)
    return Turndown{411, "Content-Length required"};
  if (head.contentLength && *head.contentLength > limit) {
    if (route == Route::upload)
      return Turndown{413, "Upload larger than " + std::to_string(config.maxUploadBytes) + " bytes"};
    return Turndown{413, "Request body too large"};
  }
  // A chunked body may grow to the limit; a request with neither line has no body.
  std::uint64_t claim = head.contentLength ? *head.contentLength : head.chunked ? limit : 0;
  Caller caller;
  if (head.method == "POST" && (route == Route::upload || route == Route::feedback)) {
    GateRequest asking{head.authorization, head.clientAddress, claim,
                       config.openToLoopbackOnly && fromOutside(head)};
    try {
      caller = route == Route::upload ? gate.admitUpload(asking, now) : gate.admitFeedback(asking, now);
    } catch (const Refusal& refusal) {
      return Turndown{refusal.status(), refusal.what(), refusal.headers()};
    }
  }
  return Admitted{limit, claim, std::move(caller)};
}

std::chrono::steady_clock::time_point paceDeadline(std::chrono::steady_clock::time_point start,
                                                   std::uint64_t bytes, std::chrono::seconds grace,
                                                   std::uint64_t rate) {
  auto allowed = std::chrono::duration<double>(static_cast<double>(bytes) / static_cast<double>(rate));
  return start + grace + std::chrono::duration_cast<std::chrono::steady_clock::duration>(allowed);
}

} // namespace glimor::server
