#pragma once
#include "capture/capture_state.h"
#include "platform/profile.h"
#include "platform/text_glyphs.h"

#include <optional>
#include <vector>

namespace glimor::capture {

// A magnifier beside the pointer while a selection is made: the pixels around the pointer eight
// times over with a grid between them, the pointer's screen coordinates and, during a drag, the
// selection's width x height. It is drawn into the shown picture; what it covers is kept aside, so
// that moving it restores and repaints only those pixels. It stands diagonally off the pointer, on
// the side where the monitor has room, so it never covers what the pointer is aimed at.
class Magnifier {
public:
  static constexpr int zoom = 8;
  static constexpr int reach = 7;                     // pixels on each side of the pointer's
  static constexpr int lens = (2 * reach + 1) * zoom; // 120
  static constexpr int labelHeight = 16;              // one text line
  static constexpr int gap = 24;                      // from the pointer to the nearest corner

  Magnifier(platform::TextGlyphs& glyphs, platform::Profile& profile) : glyphs_(glyphs), profile_(profile) {}

  // A new capture: nothing drawn yet, and [Options] Magnifier says whether it shows (1 unless 0).
  void onShow();
  // Draws it for the pointer at `at` on the capture's picture while `selecting`, and takes it off
  // otherwise or while it is switched off; returns what changed.
  std::vector<Rect> follow(CaptureState& state, Point at, bool selecting);
  // Z: switched on or off, for the next captures too. Throws Error when Glimor.ini cannot keep it;
  // it is switched all the same.
  void toggle();

  // Draws it for the pointer at `at` on `p` (picture pixels), where it stood before restored first.
  // `monitor` is the monitor under the pointer, `origin` the screen point of picture pixel (0, 0),
  // `dragSize` the selection's size during a drag. Returns what changed.
  std::vector<Rect> show(Picture& p, Point at, const Rect& monitor, Point origin,
                         std::optional<Point> dragSize);
  // Takes it off the picture; returns what changed.
  std::vector<Rect> hide(Picture& p);
  // The picture was made anew as a whole: what the magnifier covered went with it.
  void forget() { box_.reset(); }
  bool shown() const { return box_.has_value(); }

  // Where it stands for the pointer at `at` on `monitor`: right of and below the pointer unless
  // the monitor ends there.
  static Rect placeFor(Point at, const Rect& monitor, int height);

private:
  void drawLens(Picture& p, Point at, const Rect& box);
  void drawLabel(Picture& p, const std::string& text, int left, int top, int right);

  platform::TextGlyphs& glyphs_;
  platform::Profile& profile_;
  bool on_ = false;
  std::optional<Rect> box_; // where it stands in the picture
  Picture under_;           // what it covers there
};

} // namespace glimor::capture
