#pragma once
#include "platform/text_glyphs.h"

namespace glimor::win32 {

// Text in the system's message font (what Windows' own dialogs use), drawn by GDI in grey levels.
class Win32TextGlyphs final : public platform::TextGlyphs {
public:
  platform::GlyphMask render(const std::string& text, int pixelHeight, bool bold) override;
};

} // namespace glimor::win32
