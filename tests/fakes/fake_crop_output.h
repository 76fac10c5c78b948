#pragma once
#include "capture/crop_output.h"
#include "capture/picture_ops.h"
#include "platform/error.h"
#include "platform/paths.h"

#include <cctype>
#include <string>
#include <utility>
#include <vector>

namespace glimor::fakes {

class FakeCropOutput final : public capture::CropOutput {
public:
  void writeCropFiles(screen::Picture& picture, const screen::Rect& area,
                      const screen::DisplayFormat& display, const capture::CropFileNames& names,
                      const std::string& first) override {
    if (fails) throw Error("Cannot create file \"" + names.bmp + "\". Access is denied");
    firstWritten = first;
    written.push_back(names.bmp);
    written.push_back(names.jpg);
    written.push_back(names.gif);
    written.push_back(names.png);
    lastCrop = capture::cropOf(picture, area);
    lastBits = display.bitsPerPixel;
    picture = {};
  }
  bool saveCropAs(const screen::Picture& crop, const screen::DisplayFormat& display,
                  const std::string& path) override {
    if (fails) throw Error("Cannot create file \"" + path + "\". Access is denied");
    std::string ext = paths::extensionOf(path);
    for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext != ".bmp" && ext != ".jpg" && ext != ".gif") return false;
    written.push_back(path);
    lastCrop = crop;
    lastBits = display.bitsPerPixel;
    return true;
  }

  void writeRemainingFiles() override { ++remainingStarts; }
  std::string takeLateFailure() override { return std::exchange(lateFailure, {}); }

  bool fails = false;
  int remainingStarts = 0;
  std::string firstWritten, lateFailure;
  std::vector<std::string> written;
  screen::Picture lastCrop;
  int lastBits = 0;
};

} // namespace glimor::fakes
