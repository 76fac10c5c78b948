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

// Takes an upload back: an empty form body posted to its deletion link, which must be a web link,
// or with `byGet` the link opened with a GET, as an uploader file's service expects.
Deletion deleteUpload(http::HttpClient& client, std::string_view deletionUrl, bool byGet = false);

} // namespace glimor::net
