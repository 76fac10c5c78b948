#pragma once
#include <windows.h>

#include <map>
#include <vector>

namespace glimor::win32 {

// The windows are designed in pixels at 96 dpi. This is the resolution of the
// monitor a window is on, and that design scaled to it.
int dpiOf(HWND window);
inline int scaled(int designed, int dpi) {
  return ::MulDiv(designed, dpi, 96);
}
// The outer size of a window whose client area is designed as `width` x `height`.
SIZE frameFor(int width, int height, DWORD style, DWORD exStyle, int dpi);

// Places a window's controls for a resolution. Controls are created at their
// designed place with fonts made for 96 dpi; record() notes that design once, when
// all of them exist, and apply() places every noted control for a dpi and gives it
// its font made once for that dpi and shared by every control of that design, always
// from the design, so a change back and forth loses nothing to rounding.
// A caption does not grow with the dpi as its control does (the face drawn at 96 dpi is a
// bitmap one, its outline twin is wider), so a control whose caption lies on one line (a
// label, check box, radio button or push button) is made at least as large as its caption
// measured in the font it gets (a button's own ideal size, a label's text): labels and boxes
// grow to the right, push buttons on both sides, and the design leaves them the room.
// Where the design leaves no room, the control keeps its share and its caption gets a font
// of its own, the largest no taller than its scaled one in which it fits.
class DpiLayout {
public:
  DpiLayout() = default;
  DpiLayout(const DpiLayout&) = delete;
  DpiLayout& operator=(const DpiLayout&) = delete;
  ~DpiLayout();

  enum class CaptionFit { GrowControl, ShrinkFont };
  // Notes every descendant of `root`, whose captions are fitted in this way.
  void record(HWND root, CaptionFit fit = CaptionFit::GrowControl);
  void apply(int dpi);
  int dpi() const { return dpi_; }

private:
  enum class Caption { None, Label, Box, PushButton };
  struct Placed {
    HWND window;
    RECT designed; // in the parent's client area
    HFONT font;    // as created, for 96 dpi; null if none
    Caption caption;
    HFONT fitted; // made smaller for this control alone at dpi_; null if none
  };
  static BOOL CALLBACK note(HWND child, LPARAM self);
  static Caption captionOf(HWND control, const wchar_t* className);
  static int captionWidth(const Placed& placed, int dpi, LONG& height);
  static RECT growToCaption(const Placed& placed, RECT at, int dpi);
  static void shrinkToFit(Placed& placed, const RECT& at, int dpi);
  void releaseFonts();

  std::vector<Placed> placed_;
  CaptionFit fit_ = CaptionFit::GrowControl;
  std::map<HFONT, HFONT> fonts_; // designed font -> the one in use at dpi_
  int dpi_ = 96;
};

} // namespace glimor::win32
