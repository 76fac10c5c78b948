#pragma once
#include "http_types.h"
#include "image_type.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace glimor::server {

// An image as the handlers serve it: its record, and either its bytes or, for
// an image too large to hold at once, a reader that hands them out in parts
// and reads nothing until asked, so HEAD and 304 answers read no image.
struct StoredImage {
  std::string id;
  ImageType type;
  std::string sha256;
  std::uint64_t size = 0;
  std::string bytes;
  std::shared_ptr<BodyReader> reader; // set instead of `bytes`
};

struct Upload {
  std::string_view bytes;
  ImageType type;
  std::string_view clientAddress;
  std::string_view originalName; // the last component of the client's file name
};

// Where images are kept. An upload is answered only after add() returns, so
// add() returns only once the bytes and their record are durable together;
// find() serves only images whose bytes and record are both complete.
class ImageStore {
public:
  virtual ~ImageStore() = default;

  // Stores the bytes unchanged under a new id and returns the id. Throws Error,
  // or Refusal when the store cannot be reached.
  virtual std::string add(const Upload& upload) = 0;

  // The image with this id, or nothing for an unknown or malformed id.
  virtual std::shared_ptr<const StoredImage> find(std::string_view id) = 0;

  // The same for HEAD and conditional requests, which need the record only: a
  // store that would fetch bytes with the record may hand out a reader instead.
  virtual std::shared_ptr<const StoredImage> findRecord(std::string_view id) { return find(id); }

  // True when find() waits for another machine, so reads must not run on the
  // threads that move bytes.
  virtual bool readsBlock() const { return false; }
};

} // namespace glimor::server
