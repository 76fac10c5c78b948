// Drives the upload's multipart parser with arbitrary bytes. The input's first
// line is the Content-Type value, the rest the body. Besides not crashing, the
// parser must only return parts that lie inside the body and never contain the
// delimiter that should have ended them.
#include "multipart.h"
#include "refusal.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t lineEnd = input.find('\n');
  if (lineEnd == std::string_view::npos) return 0;
  std::string_view contentType = input.substr(0, lineEnd);
  std::string_view body = input.substr(lineEnd + 1);
  try {
    std::string boundary = glimor::server::boundaryOfContentType(contentType);
    auto parts = glimor::server::parseMultipart(body, boundary);
    std::string delimiter = "\r\n--" + boundary;
    for (const auto& part : parts) {
      if (part.content.data() < body.data() ||
          part.content.data() + part.content.size() > body.data() + body.size())
        std::abort();
      if (part.content.find(delimiter) != std::string_view::npos) std::abort();
    }
  } catch (const glimor::server::Refusal&) {
  }
  return 0;
}
