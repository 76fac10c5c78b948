#pragma once
#include <optional>
#include <string>

namespace glimor::platform {

// The system clipboard as plain text.
class Clipboard {
public:
  virtual ~Clipboard() = default;
  // Replaces the clipboard's content with `text`; false when another program holds it open.
  virtual bool setText(const std::string& text) = 0;
  // The plain text on the clipboard, or nothing when it holds none or cannot be opened.
  virtual std::optional<std::string> text() = 0;
  // Empties the clipboard when its plain text is exactly `text`, and leaves whatever else it
  // holds alone; true when it was emptied.
  virtual bool clearIfText(const std::string& text) = 0;
  virtual void sleep(unsigned ms) = 0;
};

} // namespace glimor::platform
