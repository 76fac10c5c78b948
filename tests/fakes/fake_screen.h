#pragma once
#include "platform/screen.h"

namespace glimor::fakes {

class FakeScreen final : public platform::Screen {
public:
  capture::Picture grabPrimary() override {
    ++grabs;
    return picture;
  }
  capture::DisplayFormat displayFormat() override { return {bits, {}}; }

  capture::Picture picture{64, 48, 0x336699};
  int bits = 32;
  int grabs = 0;
};

} // namespace glimor::fakes
