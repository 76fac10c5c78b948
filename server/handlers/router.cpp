#include "json_text.h"
#include "links.h"
#include "refusal.h"
#include "routes.h"
#include "service.h"
#include "store_error.h"

namespace glimor::server {
namespace {

Response methodNotAllowed(const Request& request, std::string_view allowed) {
  Response response = errorResponse(request, 405, "Method not allowed here, use " + std::string(allowed));
  response.headers.emplace_back("Allow", allowed);
  return response;
}

Response refusalResponse(const Request& request, const Refusal& refusal) {
  Response response = errorResponse(request, refusal.status(), refusal.what());
  for (const auto& header : refusal.headers()) response.headers.push_back(header);
  return response;
}

// A store's failure as the client is told it: a full disk is the service's
// storage (507), anything else a database to try again later (503).
Response storeFailureResponse(const Request& request, const StoreError& failure) {
  return errorResponse(request, failure.kind() == StoreError::Kind::diskFull ? 507 : 503, failure.what());
}

Response dispatch(Service& service, const Request& request) {
  std::string_view path = request.path();
  if (!path.starts_with('/')) throw Refusal(400, "Request target must start with /");

  // The same table admit() refuses heads by, for requests that come another way (tests, tools).
  const Route where = routeOf(request.target);
  std::string_view allowed = allowedMethods(where);
  if (!allowsMethod(allowed, request.method))
    return where == Route::file ? textResponse(404, "Not found") : methodNotAllowed(request, allowed);

  switch (where) {
  case Route::upload:
    return storeUpload(service, request, checkUpload(service, request));
  case Route::feedback:
    return handleFeedback(service, request, request.caller);
  case Route::deletion:
    return handleDeletion(service, request, links::afterPrefix(path));
  case Route::image:
    return handleImage(service, request, links::afterPrefix(path));
  case Route::thumbnail:
    return handleThumbnail(service, request, links::afterPrefix(path));
  case Route::viewPage:
    return handleViewPage(service, request, links::afterPrefix(path));
  case Route::versionFile:
    return handleVersionFile(service);
  case Route::myPage:
    return handleMyPage(service, request);
  case Route::browserUpload:
    return handleBrowserUpload(service, request);
  case Route::homePage:
    return handleHomePage(service, request);
  case Route::file:
    return handleExecutable(service, request);
  }
  return textResponse(404, "Not found");
}

} // namespace

Response errorResponse(const Request& request, int status, const std::string& reason) {
  if (routeOf(request.target) == Route::upload && wantsJson(request.accept))
    return jsonErrorResponse(status, reason);
  return textResponse(status, reason);
}

Response route(Service& service, const Request& request) {
  try {
    return dispatch(service, request);
  } catch (const Refusal& refusal) {
    return refusalResponse(request, refusal);
  } catch (const StoreError& failure) {
    return storeFailureResponse(request, failure);
  }
}

std::variant<CheckedUpload, Response> prepareUpload(Service& service, const Request& request) {
  try {
    return checkUpload(service, request);
  } catch (const Refusal& refusal) {
    return refusalResponse(request, refusal);
  }
}

Response finishUpload(Service& service, const Request& request, const CheckedUpload& upload) {
  try {
    return storeUpload(service, request, upload);
  } catch (const Refusal& refusal) {
    return refusalResponse(request, refusal);
  } catch (const StoreError& failure) {
    return storeFailureResponse(request, failure);
  }
}

} // namespace glimor::server
