#pragma once
#include "win32/dpi_layout.h"
#include "win32/window.h"

#include <array>
#include <cstdint>
#include <functional>

namespace glimor::win32 {

// The selection window's strip of drawing tools: a button for each tool, drawn as a small picture
// of what it makes, with a tooltip naming it and its key, and a last one showing the colour and
// size the next mark gets, whose click offers both in a menu. The chosen tool's button stays pressed.
class ToolStrip final : public Window {
public:
  // `onClick` gets the clicked button's index (the last one is the colour and size).
  void create(HWND parent, std::function<void(int)> onClick);
  // Its top-left corner in the parent's client area, laid out for the resolution.
  void place(int left, int top, int dpi);
  void setVisible(bool visible);
  // The chosen tool (-1 for none), and the colour (0x00RRGGBB) and size of the next mark.
  void showTool(int tool, std::uint32_t colour, int size);

private:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void drawButton(const DRAWITEMSTRUCT& item) const;
  void addTooltips(HWND owner);

  static constexpr int slots = 9;
  std::array<HWND, slots> buttons_{};
  HWND tips_ = nullptr;
  std::function<void(int)> onClick_;
  DpiLayout layout_;
  int tool_ = -1;
  std::uint32_t colour_ = 0;
  int size_ = 0;
};

} // namespace glimor::win32
