#pragma once
#include "capture/picture.h"

namespace glimor::platform {

// The system clipboard as a picture, for programs that paste images.
class PictureClipboard {
public:
  virtual ~PictureClipboard() = default;
  // Replaces the clipboard's content with the picture; false when another program holds it open
  // or memory ran out.
  virtual bool setPicture(const capture::Picture& picture) = 0;
};

} // namespace glimor::platform
