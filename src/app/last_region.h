#pragma once
#include "app/settings.h"
#include "screen/screen_layout.h"

#include <optional>

namespace glimor::app {

// The last finished selection that was published or saved, for "Capture last region". It is kept
// in screen pixels, so it means the same place whatever the next capture covers, and in
// Glimor.ini ([Options] LastRegion=left,top,right,bottom) for the next run.
class LastRegion {
public:
  explicit LastRegion(Settings& settings) : settings_(settings) {}

  // `selection` in the picture pixels of `layout`. Throws Error when Glimor.ini cannot be
  // written; the region is remembered for this run all the same.
  void remember(const screen::Rect& selection, const screen::ScreenLayout& layout);
  // The region in the picture pixels of `layout`; none when there is none yet, or when it does
  // not lie wholly on what `layout` covers (a monitor gone, a stored value made by hand).
  std::optional<screen::Rect> within(const screen::ScreenLayout& layout);

private:
  Settings& settings_;
  std::optional<screen::Rect> remembered_;
  bool loaded_ = false;
};

} // namespace glimor::app
