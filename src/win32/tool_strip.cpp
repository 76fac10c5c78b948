#include "win32/tool_strip.h"

#include "capture/marks/render.h"
#include "capture/marks/tool_styles.h"
#include "capture/selection_geometry.h"
#include "win32/control_ids.h"
#include "win32/controls.h"
#include "win32/tooltips.h"

#include <string>

namespace glimor::win32 {

namespace {

using capture::marks::Tool;

// A pen or brush that is selected into the device context for one drawing and then deleted.
class Selected {
public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), object_(object), old_(::SelectObject(dc, object)) {}
  ~Selected() {
    ::SelectObject(dc_, old_);
    ::DeleteObject(object_);
  }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

private:
  HDC dc_;
  HGDIOBJ object_, old_;
};

constexpr COLORREF ink = RGB(40, 40, 40);

COLORREF colourRef(std::uint32_t rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// The picture on a tool's button, drawn in `r` (the button's inside).
void drawToolPicture(HDC dc, Tool tool, RECT r) {
  int w = r.right - r.left, h = r.bottom - r.top, unit = std::max(1, w / 8);
  int l = r.left, t = r.top, rr = r.right, b = r.bottom;
  switch (tool) {
  case Tool::Rectangle: {
    Selected pen(dc, ::CreatePen(PS_SOLID, unit, ink));
    Selected brush(dc, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc, l + unit, t + 2 * unit, rr - unit, b - 2 * unit);
    break;
  }
  case Tool::Arrow:
  case Tool::Line: {
    Selected pen(dc, ::CreatePen(PS_SOLID, unit, ink));
    ::MoveToEx(dc, l + unit, b - unit, nullptr);
    ::LineTo(dc, rr - unit, t + unit);
    if (tool == Tool::Arrow) {
      Selected brush(dc, ::CreateSolidBrush(ink));
      POINT head[3] = {{rr - unit, t + unit}, {rr - unit - 3 * unit, t + unit}, {rr - unit, t + 4 * unit}};
      ::Polygon(dc, head, 3);
    }
    break;
  }
  case Tool::Highlighter: {
    RECT band{l, t + h / 3, rr, b - h / 3};
    HBRUSH yellow = ::CreateSolidBrush(RGB(255, 224, 0));
    ::FillRect(dc, &band, yellow);
    ::DeleteObject(yellow);
    break;
  }
  case Tool::Text:
  case Tool::Step: {
    if (tool == Tool::Step) {
      Selected brush(dc, ::CreateSolidBrush(RGB(224, 32, 32)));
      Selected pen(dc, ::GetStockObject(NULL_PEN));
      ::Ellipse(dc, l, t, rr + 1, b + 1);
    }
    Selected font(dc, ::CreateFontW(-h * 4 / 5, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                    ANTIALIASED_QUALITY, 0, L"Arial"));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, tool == Tool::Step ? RGB(255, 255, 255) : ink);
    ::DrawTextW(dc, tool == Tool::Step ? L"1" : L"T", 1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    break;
  }
  case Tool::Redact: {
    RECT block{l, t + h / 4, rr, b - h / 4};
    ::FillRect(dc, &block, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    break;
  }
  case Tool::Pixelate:
    for (int row = 0; row < 3; ++row)
      for (int column = 0; column < 3; ++column) {
        int shade = 80 + 60 * ((row * 2 + column) % 3);
        HBRUSH brush = ::CreateSolidBrush(RGB(shade, shade, shade));
        RECT cell{l + column * w / 3, t + row * h / 3, l + (column + 1) * w / 3, t + (row + 1) * h / 3};
        ::FillRect(dc, &cell, brush);
        ::DeleteObject(brush);
      }
    break;
  }
}

std::string tooltipOf(int slot) {
  if (slot >= capture::marks::toolCount)
    return "Colour: keys 1 to 8; size: mouse wheel (click: a menu of both)";
  const capture::marks::ToolFacts& facts = capture::marks::factsOf(static_cast<Tool>(slot));
  return std::string(facts.name) + " (" + facts.key + ")";
}

} // namespace

void ToolStrip::create(HWND parent, std::function<void(int)> onClick) {
  onClick_ = std::move(onClick);
  registerClass("GlimorToolStrip", 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  Window::create("GlimorToolStrip", "", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0, capture::toolStripWidth,
                 capture::toolStripHeight, parent);
  for (int slot = 0; slot < slots; ++slot)
    buttons_[static_cast<std::size_t>(slot)] = createControl(hwnd(), {.className = "BUTTON",
                                                                      .x = 2 + slot * capture::toolButtonSize,
                                                                      .y = 2,
                                                                      .width = capture::toolButtonSize,
                                                                      .height = capture::toolButtonSize,
                                                                      .style = BS_OWNERDRAW,
                                                                      .id = ids::toolFirst + slot});
  layout_.record(hwnd());
  layout_.apply(96);
  addTooltips(parent);
}

void ToolStrip::addTooltips(HWND owner) {
  tips_ = createTooltips(owner);
  for (int slot = 0; slot < slots; ++slot)
    addTooltip(tips_, hwnd(), buttons_[static_cast<std::size_t>(slot)], tooltipOf(slot));
}

void ToolStrip::place(int left, int top, int dpi) {
  if (dpi != layout_.dpi()) layout_.apply(dpi);
  ::SetWindowPos(hwnd(), HWND_TOP, left, top, scaled(capture::toolStripWidth, dpi),
                 scaled(capture::toolStripHeight, dpi), SWP_NOACTIVATE);
}

void ToolStrip::setVisible(bool visible) {
  ::ShowWindow(hwnd(), visible ? SW_SHOWNA : SW_HIDE);
}

void ToolStrip::showTool(int tool, std::uint32_t colour, int size) {
  tool_ = tool;
  colour_ = colour;
  size_ = size;
  for (HWND button : buttons_) ::InvalidateRect(button, nullptr, FALSE);
}

void ToolStrip::drawButton(const DRAWITEMSTRUCT& item) const {
  int slot = static_cast<int>(item.CtlID) - ids::toolFirst;
  RECT r = item.rcItem;
  bool chosen = slot == tool_, pressed = (item.itemState & ODS_SELECTED) != 0;
  ::DrawFrameControl(item.hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (chosen || pressed ? DFCS_PUSHED : 0));
  int inset = std::max(3, static_cast<int>(r.right - r.left) / 5);
  ::InflateRect(&r, -inset, -inset);
  if (chosen || pressed) ::OffsetRect(&r, 1, 1);
  if (slot < capture::marks::toolCount) {
    drawToolPicture(item.hDC, static_cast<Tool>(slot), r);
    return;
  }
  // The colour and size of the next mark; grey when no tool is chosen.
  HBRUSH brush = ::CreateSolidBrush(tool_ < 0 ? ::GetSysColor(COLOR_BTNSHADOW) : colourRef(colour_));
  ::FillRect(item.hDC, &r, brush);
  ::DeleteObject(brush);
  if (tool_ < 0) return;
  std::wstring size = std::to_wstring(size_);
  ::SetBkMode(item.hDC, TRANSPARENT);
  ::SetTextColor(item.hDC, colourRef(capture::marks::contrastingColour(colour_)));
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
  HGDIOBJ old = font ? ::SelectObject(item.hDC, font) : nullptr;
  ::DrawTextW(item.hDC, size.c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (old) ::SelectObject(item.hDC, old);
}

LRESULT ToolStrip::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_DRAWITEM:
    drawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    return TRUE;
  case WM_COMMAND:
    if (HIWORD(wParam) == BN_CLICKED && onClick_) {
      int slot = LOWORD(wParam) - ids::toolFirst;
      if (slot >= 0 && slot < slots) onClick_(slot);
    }
    return 0;
  default:
    return Window::handle(message, wParam, lParam);
  }
}

} // namespace glimor::win32
