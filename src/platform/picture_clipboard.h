#pragma once
#include "screen/picture.h"

#include <cstdint>
#include <span>

namespace glimor::platform {

// The system clipboard as a picture, for programs that paste images.
class PictureClipboard {
public:
  virtual ~PictureClipboard() = default;
  // Replaces the clipboard's content with the picture, as a bitmap and as `png` (its PNG file,
  // which browsers and chats read); false when another program holds it open or memory ran out.
  virtual bool setPicture(const screen::Picture& picture, std::span<const std::uint8_t> png) = 0;
};

} // namespace glimor::platform
