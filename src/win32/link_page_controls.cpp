#include "win32/link_page_controls.h"

namespace glimor::win32 {

std::string LinkPageControls::link() const {
  int length = ::GetWindowTextLengthA(directLink_);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  int copied = ::GetWindowTextA(directLink_, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

} // namespace glimor::win32
