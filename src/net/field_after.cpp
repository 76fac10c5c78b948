#include "net/field_after.h"

namespace glimor::net {

std::string fieldAfter(std::string_view text, int index, std::string_view separator) {
  if (index < 1 || separator.empty()) return {};
  // The separator taken once more at the end: the last field always ends at an occurrence.
  const std::string padded = std::string(text) + std::string(separator);
  std::size_t fieldStart = 0;
  for (int occurrence = 1;; ++occurrence) {
    std::size_t at = padded.find(separator, fieldStart);
    if (at == std::string::npos) return {};
    if (occurrence == index) return padded.substr(fieldStart, at - fieldStart);
    fieldStart = at + separator.size();
  }
}

} // namespace glimor::net
