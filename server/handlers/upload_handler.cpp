#include "deletion_secret.h"
#include "image_check.h"
#include "image_type.h"
#include "multipart.h"
#include "platform/paths.h"
#include "public_link.h"
#include "refusal.h"
#include "service.h"

namespace glimor::server {
namespace {

constexpr std::string_view imageField = "imgfile";

const MultipartPart& imagePart(const std::vector<MultipartPart>& parts) {
  const MultipartPart* found = nullptr;
  for (const MultipartPart& part : parts) {
    if (part.name != imageField) continue;
    if (found) throw Refusal(400, "More than one imgfile part in the upload");
    found = &part;
  }
  if (!found || !found->fileName) throw Refusal(400, "No imgfile part in the upload");
  return *found;
}

} // namespace

CheckedUpload checkUpload(Service& service, const Request& request) {
  // Checked first, so a request with a bad Host line stores nothing.
  std::string base = linkBase(service.config.publicUrl, request.scheme, request.host, request.localAddress);

  std::string boundary = boundaryOfContentType(request.contentType);
  auto parts = parseMultipart(request.body, boundary);
  const MultipartPart& part = imagePart(parts);
  if (part.content.empty()) throw Refusal(400, "The uploaded file is empty");
  if (part.content.size() > service.config.maxUploadBytes)
    throw Refusal(413, "Image larger than " + std::to_string(service.config.maxUploadBytes) + " bytes");
  // Only an image that decodes completely as the type its first bytes name is kept,
  // so no other content (a page, a script) can be served under an image link.
  // Uploads are checked on the decoding threads (session.cpp), so decoding holds
  // neither a thread that moves bytes nor one that waits for the disk.
  auto type = sniffImageType(part.content);
  if (!type || !isCompleteImage(part.content, *type, service.config.maxPixels))
    throw Refusal(415, "Not a complete BMP, JPEG, GIF or PNG image");
  // The client sends its full local path; only the last component is kept,
  // and only as a record, never as a path.
  return {std::move(base), *type, part.content, paths::fileNameOf(*part.fileName), request.caller};
}

Response storeUpload(Service& service, const Request& request, const CheckedUpload& upload) {
  std::string secret = newDeletionSecret();
  std::string id = withinStoreLimit(service, upload.content.size(), [&] {
    return service.images->add({upload.content, upload.type, request.clientAddress, upload.fileName,
                                upload.caller.tokenName.value_or(""), deletionSecretHash(secret)});
  });

  Response response;
  response.contentType = "text/plain; charset=utf-8";
  // The program takes the link from the text after "Link: " on the last line,
  // so the deletion link comes before it.
  const std::string& base = upload.linkBase;
  response.body = "Image stored.\r\nDelete: " + base + "d/" + id + "/" + secret + "\r\nLink: " + base + "i/" +
                  id + "." + std::string(upload.type.extension) + "\r\n";
  return response;
}

} // namespace glimor::server
