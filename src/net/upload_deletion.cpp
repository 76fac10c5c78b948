#include "net/upload_deletion.h"

#include "net/web_link.h"

namespace glimor::net {

Deletion deleteUpload(http::HttpClient& client, std::string_view deletionUrl, bool byGet) {
  if (!isWebLink(deletionUrl)) return {Deletion::Outcome::Failed, "The deletion link is not a web link."};
  try {
    http::Bytes answer;
    http::RequestShape shape;
    if (byGet) shape = {"GET", "", {}};
    client.Send(deletionUrl, shape, {}, answer);
    return {Deletion::Outcome::Deleted, {}};
  } catch (const std::exception& error) {
    if (client.lastAnswer().statusCode == 410) return {Deletion::Outcome::AlreadyGone, error.what()};
    return {Deletion::Outcome::Failed, error.what()};
  }
}

} // namespace glimor::net
