#pragma once
#include "platform/link_page.h"

namespace glimor::fakes {

class FakeLinkPage final : public platform::LinkPage {
public:
  std::string link() const override { return directLink; }
  void setLink(const std::string& link) override { directLink = link; }
  void setBusyAnimation(bool running) override { animating = running; }
  void setHelpTextVisible(bool visible) override { helpTextVisible = visible; }

  std::string directLink;
  bool animating = false;
  bool helpTextVisible = true;
};

} // namespace glimor::fakes
