#include "app/last_region.h"

#include <charconv>
#include <string>

namespace glimor::app {

namespace {

std::optional<screen::Rect> parse(const std::string& text) {
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
  return screen::Rect{values[0], values[1], values[2], values[3]};
}
} // namespace

void LastRegion::remember(const screen::Rect& selection, const screen::ScreenLayout& layout) {
  const screen::Rect& area = layout.area;
  screen::Rect onScreen{selection.left + area.left, selection.top + area.top, selection.right + area.left,
                        selection.bottom + area.top};
  remembered_ = onScreen;
  loaded_ = true;
  settings_.write(platform::ini::lastRegion,
                  std::to_string(onScreen.left) + "," + std::to_string(onScreen.top) + "," +
                      std::to_string(onScreen.right) + "," + std::to_string(onScreen.bottom));
}

std::optional<screen::Rect> LastRegion::within(const screen::ScreenLayout& layout) {
  if (!loaded_) {
    remembered_ = parse(settings_.read(platform::ini::lastRegion));
    loaded_ = true;
  }
  if (!remembered_) return std::nullopt;
  const screen::Rect& r = *remembered_;
  const screen::Rect& area = layout.area;
  if (r.left >= r.right || r.top >= r.bottom || r.left < area.left || r.top < area.top ||
      r.right > area.right || r.bottom > area.bottom)
    return std::nullopt;
  return screen::Rect{r.left - area.left, r.top - area.top, r.right - area.left, r.bottom - area.top};
}

} // namespace glimor::app
