#pragma once
#include "platform/clipboard.h"
#include "platform/picture_clipboard.h"

#include <vector>

namespace glimor::fakes {

// Keeps the last picture copied; refuses while `busy`.
class FakePictureClipboard final : public platform::PictureClipboard {
public:
  bool setPicture(const screen::Picture& p, std::span<const std::uint8_t> file) override {
    if (busy) return false;
    picture = p;
    png.assign(file.begin(), file.end());
    return true;
  }
  std::optional<screen::Picture> picture;
  std::vector<std::uint8_t> png;
  bool busy = false;
};

// A clipboard that another program may hold open for the first `busyFor` attempts.
class FakeClipboard final : public platform::Clipboard {
public:
  bool setText(const std::string& text) override {
    ++attempts;
    if (busyFor > 0) {
      --busyFor;
      return false;
    }
    content = text;
    return true;
  }
  std::optional<std::string> text() override { return content; }
  bool clearIfText(const std::string& text) override {
    if (content != text) return false;
    content.reset();
    return true;
  }
  void sleep(unsigned ms) override { pauses.push_back(ms); }

  std::optional<std::string> content;
  int busyFor = 0;
  int attempts = 0;
  std::vector<unsigned> pauses;
};

} // namespace glimor::fakes
