#pragma once
#include <cstdint>
#include <string>

namespace glimor::net {

// One completed upload, as the history keeps it.
struct UploadRecord {
  std::string time;        // when it was kept, "YYYY-MM-DDTHH:MM:SSZ" (UTC)
  std::string link;        // the image's link
  std::string deletionUrl; // the link that deletes it; empty when the service gave none
  std::string fileType;    // the file's extension, without its dot
  std::uint64_t size = 0;  // the image's size in bytes
  // The deletion link is opened with a GET (an uploader file's), not posted to (the service's).
  bool deletionByGet = false;

  bool operator==(const UploadRecord&) const = default;
};

} // namespace glimor::net
