#include "s3_xml.h"

#include "platform/error.h"

#include <charconv>
#include <cstdio>
#include <ctime>

namespace glimor::server::s3 {
namespace {

std::string decodeEntities(std::string_view text) {
  static constexpr std::pair<std::string_view, char> entities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string decoded;
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == '&')
      for (const auto& [entity, c] : entities)
        if (text.substr(i).starts_with(entity)) {
          decoded += c;
          i += entity.size();
          replaced = true;
          break;
        }
    if (!replaced) decoded += text[i++];
  }
  return decoded;
}

// The inner text of each <name>...</name>, in order.
std::vector<std::string_view> elements(std::string_view xml, std::string_view name) {
  std::string open = "<" + std::string(name) + ">", close = "</" + std::string(name) + ">";
  std::vector<std::string_view> found;
  for (std::size_t at = xml.find(open); at != std::string_view::npos; at = xml.find(open, at)) {
    std::size_t start = at + open.size();
    std::size_t end = xml.find(close, start);
    if (end == std::string_view::npos) break;
    found.push_back(xml.substr(start, end - start));
    at = end + close.size();
  }
  return found;
}

} // namespace

std::optional<std::string> xmlText(std::string_view xml, std::string_view name) {
  auto found = elements(xml, name);
  if (found.empty()) return std::nullopt;
  return decodeEntities(found.front());
}

std::optional<std::int64_t> parseIsoTime(std::string_view text) {
  std::tm time{};
  int consumed = 0;
  std::string copy(text);
  if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &time.tm_year, &time.tm_mon, &time.tm_mday,
                  &time.tm_hour, &time.tm_min, &time.tm_sec, &consumed) != 6 ||
      consumed != 19)
    return std::nullopt;
  time.tm_year -= 1900;
  time.tm_mon -= 1;
  return static_cast<std::int64_t>(timegm(&time));
}

ErrorAnswer parseError(std::string_view xml) {
  return {xmlText(xml, "Code").value_or(""), xmlText(xml, "Message").value_or("")};
}

ObjectListing parseListing(std::string_view xml) {
  if (xml.find("<ListBucketResult") == std::string_view::npos)
    throw Error("The object store's listing is not a ListBucketResult");
  ObjectListing listing;
  for (std::string_view contents : elements(xml, "Contents")) {
    auto key = xmlText(contents, "Key");
    auto size = xmlText(contents, "Size");
    std::uint64_t bytes = 0;
    if (!key || !size || std::from_chars(size->data(), size->data() + size->size(), bytes).ec != std::errc())
      throw Error("The object store's listing has an entry without a key or size");
    auto modified = parseIsoTime(xmlText(contents, "LastModified").value_or(""));
    listing.objects.push_back({std::move(*key), bytes, modified.value_or(0)});
  }
  if (xmlText(xml, "IsTruncated").value_or("false") == "true") {
    listing.continuation = xmlText(xml, "NextContinuationToken");
    if (!listing.continuation || listing.continuation->empty())
      throw Error("The object store's listing is truncated without a continuation token");
  }
  return listing;
}

} // namespace glimor::server::s3
