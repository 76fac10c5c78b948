#include "deletion_secret.h"
#include "image_check.h"
#include "image_type.h"
#include "json_text.h"
#include "links.h"
#include "metadata.h"
#include "multipart.h"
#include "platform/paths.h"
#include "public_link.h"
#include "refusal.h"
#include "service.h"

namespace glimor::server {
namespace {

// The field Glimor names its file with; other clients name it as they like
// (ShareX "file", curl whatever -F says).
constexpr std::string_view programField = "imgfile";

// The file of the upload: the one part that carries a file name, or among
// several, Glimor's.
const MultipartPart& imagePart(const std::vector<MultipartPart>& parts) {
  std::vector<const MultipartPart*> files, programs;
  for (const MultipartPart& part : parts) {
    if (!part.fileName) continue;
    files.push_back(&part);
    if (part.name == programField) programs.push_back(&part);
  }
  if (programs.size() > 1) throw Refusal(400, "More than one imgfile part in the upload");
  if (programs.size() == 1) return *programs.front();
  if (files.empty()) throw Refusal(400, "No file in the upload");
  if (files.size() > 1) throw Refusal(400, "More than one file in the upload");
  return *files.front();
}

// The upload's bytes with what they tell of their maker taken out, where any
// was; nothing when there was none or the type carries none.
std::shared_ptr<const std::string> withoutMetadata(std::string_view bytes, const ImageType& type) {
  std::string stripped;
  if (type.extension == "jpg")
    stripped = withoutJpegMetadata(bytes);
  else if (type.extension == "png")
    stripped = withoutPngMetadata(bytes);
  else
    return nullptr;
  if (stripped == bytes) return nullptr;
  return std::make_shared<const std::string>(std::move(stripped));
}

} // namespace

CheckedUpload checkUpload(Service& service, const Request& request) {
  // Checked first, so a request with a bad Host line stores nothing.
  std::string base = linkBase(service.config.publicUrl, request.scheme, request.host, request.localAddress);

  std::string boundary = boundaryOfContentType(request.contentType);
  auto parts = parseMultipart(request.body, boundary);
  return checkImagePart(service, std::move(base), imagePart(parts), request.caller);
}

CheckedUpload checkImagePart(Service& service, std::string base, const MultipartPart& part,
                             const Caller& caller) {
  if (part.content.empty()) throw Refusal(400, "The uploaded file is empty");
  if (part.content.size() > service.config.maxUploadBytes)
    throw Refusal(413, "Image larger than " + std::to_string(service.config.maxUploadBytes) + " bytes");
  // Only an image that decodes completely as the type its first bytes name is kept,
  // so no other content (a page, a script) can be served under an image link.
  // Uploads are checked on the decoding threads (session.cpp), so decoding holds
  // neither a thread that moves bytes nor one that waits for the disk; the
  // thumbnail comes out of the same decode.
  auto type = sniffImageType(part.content);
  ThumbnailMaker thumbnail;
  Motion motion;
  if (!type ||
      !isCompleteImage(part.content, *type, {service.config.maxPixels, service.config.maxTotalPixels},
                       &thumbnail, &motion))
    throw Refusal(415, "Not a complete BMP, JPEG, GIF or PNG image");
  std::shared_ptr<const std::string> stripped;
  if (!service.config.keepMetadata) stripped = withoutMetadata(part.content, *type);
  const std::string_view content = stripped ? std::string_view(*stripped) : part.content;
  // The client sends its full local path; only the last component is kept,
  // and only as a record, never as a path.
  return {std::move(base),
          *type,
          content,
          std::move(stripped),
          paths::fileNameOf(part.fileName.value_or("")),
          caller,
          thumbnail.pictureSize(),
          thumbnail.ownJpeg() ? std::string(content) : thumbnail.jpeg(),
          type->isVideo() || motion.frames > 1 ? std::optional(motion.durationMs) : std::nullopt};
}

StoredLinks storeImage(Service& service, std::string_view clientAddress, const CheckedUpload& upload) {
  std::string secret = newDeletionSecret();
  std::string id = withinStoreLimit(service, upload.content.size(), [&] {
    return service.images->add({upload.content, upload.type, clientAddress, upload.fileName,
                                upload.caller.tokenName.value_or(""), deletionSecretHash(secret),
                                upload.thumbnail, upload.durationMs, std::uint32_t(upload.size.width),
                                std::uint32_t(upload.size.height)});
  });

  const std::string& base = upload.linkBase;
  return {base + links::imagePath(id, upload.type.extension), base + links::pagePath(id),
          base + links::deletionPath(id, secret), base + links::thumbnailPath(id)};
}

Response storeUpload(Service& service, const Request& request, const CheckedUpload& upload) {
  const auto [link, page, deletion, thumbnailLink] = storeImage(service, request.clientAddress, upload);
  Response response;
  if (wantsJson(request.accept)) {
    response.contentType = "application/json";
    response.body = "{\"url\": " + jsonString(link) + ", \"page_url\": " + jsonString(page) +
                    ", \"delete_url\": " + jsonString(deletion) +
                    ", \"thumbnail_url\": " + jsonString(thumbnailLink) +
                    ", \"width\": " + std::to_string(upload.size.width) +
                    ", \"height\": " + std::to_string(upload.size.height) +
                    ", \"type\": " + jsonString(upload.type.mimeType) +
                    (upload.durationMs ? ", \"duration_ms\": " + std::to_string(*upload.durationMs) : "") +
                    ", \"size\": " + std::to_string(upload.content.size()) + "}\n";
    return response;
  }
  response.contentType = "text/plain; charset=utf-8";
  // The program takes the link from the text after "Link: " on the last line,
  // so the deletion link and the page come before it.
  response.body = "Image stored.\r\nDelete: " + deletion + "\r\nPage: " + page + "\r\nLink: " + link + "\r\n";
  return response;
}

} // namespace glimor::server
