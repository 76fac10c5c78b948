#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimor::server::s3 {

// The few XML answers of an object store that the service reads, taken apart
// without a general XML parser: they are flat, and every field read is checked.

// The text of the first <name>...</name> in `xml`, entities decoded; nothing
// when there is none.
std::optional<std::string> xmlText(std::string_view xml, std::string_view name);

// An error answer's <Code> and <Message>, e.g. "NoSuchKey".
struct ErrorAnswer {
  std::string code;
  std::string message;
};
ErrorAnswer parseError(std::string_view xml);

// One page of ListObjectsV2.
struct ObjectListing {
  struct Object {
    std::string key;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // seconds since 1970; 0 when the store gave none
  };
  std::vector<Object> objects;
  std::optional<std::string> continuation; // set while more pages follow
};
// Seconds since 1970 of "2026-12-11T01:47:52.000Z"; nothing when it is not that.
std::optional<std::int64_t> parseIsoTime(std::string_view text);

// Throws Error when the answer is not a listing.
ObjectListing parseListing(std::string_view xml);

} // namespace glimor::server::s3
