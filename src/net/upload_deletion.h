#pragma once
#include "http/http_client.h"

#include <string>
#include <string_view>

namespace glimor::net {

inline constexpr std::string_view statusImageDeleted = "Image deleted.";

struct Deletion {
  enum class Outcome {
    Deleted,     // a 2xx answer
    AlreadyGone, // 410: deleted before; as gone as a deleted one
    Failed,      // anything else; `error` says what, as the exchange's failures do
  };
  Outcome outcome = Outcome::Failed;
  std::string error;
};

// Takes an upload back: an empty form body posted to its deletion link, which must be a web link;
// with `byGet` (an uploader file's link) opened with a GET as well where the service refuses the
// POST (400, 404, 405, 501), as services that delete from a browser's link expect.
Deletion deleteUpload(http::HttpClient& client, std::string_view deletionUrl, bool byGet = false);

} // namespace glimor::net
