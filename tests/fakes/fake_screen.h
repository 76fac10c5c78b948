#pragma once
#include "platform/screen.h"

#include <functional>

namespace glimor::fakes {

// A desktop of `screens`, whose pixels `picture` holds from the screen point `origin`.
// What lies outside `picture` reads as `beyond`, as a system may give anything there.
class FakeScreen final : public platform::Screen {
public:
  std::vector<screen::Monitor> monitors() override { return screens; }
  screen::Picture grab(const screen::Rect& area) override {
    ++grabs;
    if (onGrab) onGrab();
    screen::Picture out(area.width(), area.height(), beyond);
    for (int y = 0; y < out.height; ++y)
      for (int x = 0; x < out.width; ++x) {
        int px = area.left + x - originX, py = area.top + y - originY;
        if (px >= 0 && py >= 0 && px < picture.width && py < picture.height)
          out.at(x, y) = picture.at(px, py);
      }
    return out;
  }
  screen::DisplayFormat displayFormat() override { return {bits, {}}; }
  std::vector<screen::WindowBox> windows() override {
    ++windowLists;
    return shown;
  }

  std::vector<screen::Monitor> screens{{{0, 0, 64, 48}, 96, true}};
  screen::Picture picture{64, 48, 0x336699};
  int originX = 0, originY = 0;
  std::uint32_t beyond = 0xABCDEF;
  int bits = 32;
  int grabs = 0;
  std::vector<screen::WindowBox> shown; // screen pixels, topmost first
  int windowLists = 0;
  std::function<void()> onGrab;
};

} // namespace glimor::fakes
