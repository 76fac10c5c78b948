#pragma once
#include <string>

namespace glimor::platform {

// Plain modal messages with the application title as caption.
class Messages {
public:
  virtual ~Messages() = default;
  // The text with a single OK button; returns when the user has closed it.
  virtual void show(const std::string& text) = 0;
  // Which button Enter presses before the user has chosen.
  enum class Default { Yes, No };
  // Yes and No buttons, no icon, owned by the main window; true on Yes.
  virtual bool askYesNo(const std::string& text, const std::string& caption, Default preselected) = 0;
  // The plain warning beep.
  virtual void beep() = 0;
};

} // namespace glimor::platform
