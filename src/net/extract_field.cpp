#include "net/extract_field.h"

namespace glimor::net {

std::string ExtractField(std::string_view Text, int Index, std::string_view Separator) {
  if (Index < 1 || Separator.empty()) return {};
  // The separator taken once more at the end: the last field always ends at an occurrence.
  const std::string text = std::string(Text) + std::string(Separator);
  std::size_t fieldStart = 0;
  for (int occurrence = 1;; ++occurrence) {
    std::size_t at = text.find(Separator, fieldStart);
    if (at == std::string::npos) return {};
    if (occurrence == Index) return text.substr(fieldStart, at - fieldStart);
    fieldStart = at + Separator.size();
  }
}

} // namespace glimor::net
