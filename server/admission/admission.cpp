#include "admission.h"

#include "routes.h"

namespace glimor::server {
namespace {

constexpr std::size_t maxHeaderLines = 64;

} // namespace

std::variant<Admitted, Turndown> admit(const RequestHead& head, const Config& config, UploadGate& gate,
                                       std::chrono::steady_clock::time_point now) {
  if (head.headerLines > maxHeaderLines) return Turndown{431, "Too many header lines"};
  if (head.hostLines > 1) return Turndown{400, "More than one Host line"};
  const Route route = routeOf(head.target);
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
    GateRequest asking{head.authorization, head.clientAddress, claim};
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
