#include "app/last_region.h"

#include <charconv>
#include <string>

namespace glimor::app {

namespace {

std::optional<capture::Rect> parse(const std::string& text) {
  int values[4];
  const char* at = text.data();
  const char* end = text.data() + text.size();
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (at == end || *at != ',') return std::nullopt;
      ++at;
    }
    auto [next, error] = std::from_chars(at, end, values[i]);
    if (error != std::errc{}) return std::nullopt;
    at = next;
  }
  if (at != end) return std::nullopt;
  return capture::Rect{values[0], values[1], values[2], values[3]};
}
} // namespace

void LastRegion::remember(const capture::Rect& selection, const capture::ScreenLayout& layout) {
  const capture::Rect& area = layout.area;
  capture::Rect onScreen{selection.left + area.left, selection.top + area.top, selection.right + area.left,
                         selection.bottom + area.top};
  remembered_ = onScreen;
  loaded_ = true;
  settings_.write(platform::ini::lastRegion,
                  std::to_string(onScreen.left) + "," + std::to_string(onScreen.top) + "," +
                      std::to_string(onScreen.right) + "," + std::to_string(onScreen.bottom));
}

std::optional<capture::Rect> LastRegion::within(const capture::ScreenLayout& layout) {
  if (!loaded_) {
    remembered_ = parse(settings_.read(platform::ini::lastRegion));
    loaded_ = true;
  }
  if (!remembered_) return std::nullopt;
  const capture::Rect& r = *remembered_;
  const capture::Rect& area = layout.area;
  if (r.left >= r.right || r.top >= r.bottom || r.left < area.left || r.top < area.top ||
      r.right > area.right || r.bottom > area.bottom)
    return std::nullopt;
  return capture::Rect{r.left - area.left, r.top - area.top, r.right - area.left, r.bottom - area.top};
}

} // namespace glimor::app
