#include "http/header_folding.h"

namespace glimor::http {
namespace {

bool isBreak(char c) {
  return c == ' ' || c == '\t' || c == ',';
}

// Index of the character after which `piece` breaks, or npos when it cannot be broken.
// Index 0 never counts: in a continuation it is the break character of the previous piece.
std::size_t breakPoint(std::string_view piece) {
  std::size_t lastWithin = std::string_view::npos;
  bool quoted = false;
  for (std::size_t i = 1; i < piece.size(); ++i) {
    char c = piece[i];
    if (c == '"') quoted = !quoted;
    if (quoted || !isBreak(c)) continue;
    if (i < foldWidth)
      lastWithin = i;
    else
      return lastWithin != std::string_view::npos ? lastWithin : i;
  }
  return lastWithin;
}

std::string withoutTrailingBlanks(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return std::string(text);
}

} // namespace

std::vector<std::string> foldHeaderLine(std::string_view line) {
  std::vector<std::string> lines;
  std::string piece(line);
  while (piece.size() > foldWidth) {
    std::size_t at = breakPoint(piece);
    if (at == std::string::npos) break;
    lines.push_back(withoutTrailingBlanks(std::string_view(piece).substr(0, at + 1)));
    // A break at the very end leaves nothing to continue; a blank continuation line is never sent.
    if (at + 1 == piece.size()) return lines;
    piece.replace(0, at + 1, 1, ' ');
  }
  lines.push_back(std::move(piece));
  return lines;
}

} // namespace glimor::http
