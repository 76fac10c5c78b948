#include "win32/link_page_controls.h"

#include "win32/controls.h"

namespace glimor::win32 {

std::string LinkPageControls::link() const {
  return windowText(directLink_);
}

void LinkPageControls::setLink(const std::string& link) {
  setWindowText(directLink_, link);
}

} // namespace glimor::win32
