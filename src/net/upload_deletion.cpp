#include "net/upload_deletion.h"

#include "net/web_link.h"

namespace glimor::net {

Deletion deleteUpload(http::HttpClient& client, std::string_view deletionUrl, bool byGet) {
  if (!isWebLink(deletionUrl)) return {Deletion::Outcome::Failed, "The deletion link is not a web link."};
  auto send = [&](const http::RequestShape& shape) -> Deletion {
    try {
      http::Bytes answer;
      client.Send(deletionUrl, shape, {}, answer);
      return {Deletion::Outcome::Deleted, {}};
    } catch (const std::exception& error) {
      if (client.lastAnswer().statusCode == 410) return {Deletion::Outcome::AlreadyGone, error.what()};
      return {Deletion::Outcome::Failed, error.what()};
    }
  };
  // A link that a GET only shows a page for (glimor-server's asks first) deletes on a POST, so an
  // uploader file's link is posted to first, and opened with a GET where the POST is not taken.
  Deletion posted = send({});
  const int status = client.lastAnswer().statusCode;
  if (!byGet || posted.outcome != Deletion::Outcome::Failed ||
      (status != 400 && status != 404 && status != 405 && status != 501))
    return posted;
  return send({"GET", "", {}});
}

} // namespace glimor::net
