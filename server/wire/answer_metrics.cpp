#include "answer_metrics.h"

#include "metrics.h"
#include "routes.h"

#include <boost/beast/http/status.hpp>
#include <string>

namespace glimor::server {
namespace {

std::string_view routeName(Route route) {
  switch (route) {
  case Route::upload:
    return "upload";
  case Route::feedback:
    return "feedback";
  case Route::deletion:
    return "deletion";
  case Route::image:
    return "image";
  case Route::thumbnail:
    return "thumbnail";
  case Route::myPage:
    return "my_page";
  case Route::browserUpload:
    return "browser_upload";
  case Route::viewPage:
    return "view_page";
  case Route::versionFile:
    return "version_file";
  case Route::homePage:
    return "home_page";
  case Route::file:
    return "file";
  }
  return "other"; // no route is left out: a new one makes the switch above warn
}

} // namespace

void recordAnswer(std::string_view target, const Response& response, std::uint64_t bytesSent,
                  std::chrono::steady_clock::duration took) {
  Metrics& all = metrics();
  std::string_view route = routeName(routeOf(target));
  std::string status = std::to_string(response.status);
  all.responses.add({{"route", route}, {"status", status}});
  all.requestDuration.observe({{"route", route}}, std::chrono::duration<double>(took).count());
  all.sentBytes.add({}, static_cast<double>(bytesSent));
  if (response.status < 400) return;
  namespace http = boost::beast::http;
  std::string reason = response.reason.empty()
                           ? std::string(http::obsolete_reason(http::int_to_status(response.status)))
                           : withoutNumbers(response.reason);
  all.refusals.add({{"status", status}, {"reason", reason}});
}

} // namespace glimor::server
