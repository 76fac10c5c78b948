#pragma once
#include "screen/picture.h"

#include <string>

namespace glimor::platform {

// The current printer and its drawing surface, in device pixels.
class Printer {
public:
  virtual ~Printer() = default;
  // The printer-setup dialog; false when the user cancelled it.
  virtual bool setup() = 0;
  // Starts a print job on the chosen printer; throws Error when that is impossible.
  virtual void beginJob(const std::string& title) = 0;
  virtual void endJob() = 0;
  virtual void abortJob() = 0;
  virtual int pageWidth() = 0;
  virtual int pageHeight() = 0;
  virtual int dpiY() = 0;
  // A font of this face whose character cell is `height` device pixels high.
  virtual void setFont(const std::string& face, int height) = 0;
  virtual int textWidth(const std::string& text) = 0;
  virtual int textHeight(const std::string& text) = 0;
  // Text on an opaque white background.
  virtual void textOut(int x, int y, const std::string& text) = 0;
  // The picture stretched into the rectangle, through its device-independent form.
  virtual void drawPicture(const screen::Rect& target, const screen::Picture& picture) = 0;
};

} // namespace glimor::platform
