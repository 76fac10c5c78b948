#include "net/endpoints.h"

namespace glimor::net {

ServiceEndpoints::ServiceEndpoints(std::string serviceHost) : origin(std::move(serviceHost)) {
  // A scheme that is neither http nor https stays as written, so the first exchange names it.
  if (origin.find("://") == std::string::npos) origin.insert(0, "http://");
  while (origin.ends_with('/')) origin.pop_back();
}

} // namespace glimor::net
