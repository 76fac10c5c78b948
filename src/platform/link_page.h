#pragma once
#include <string>

namespace glimor::platform {

// The links page of the main window: the link field, the busy animation and the help text.
class LinkPage {
public:
  virtual ~LinkPage() = default;
  virtual std::string link() const = 0; // the link field, as the user may have edited it
  virtual void setLink(const std::string& link) = 0;
  virtual void setBusyAnimation(bool running) = 0; // shown and moving, or hidden and still
  virtual void setHelpTextVisible(bool visible) = 0;
};

} // namespace glimor::platform
