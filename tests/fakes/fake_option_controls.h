#pragma once
#include "platform/option_controls.h"

#include <map>

namespace glimor::fakes {

// Starts as the window is designed: Alt+F2, JPEG, every box ticked.
class FakeOptionControls final : public platform::OptionControls {
public:
  bool checked(platform::CheckBox box) const override { return boxes.at(box); }
  void setChecked(platform::CheckBox box, bool checked) override { boxes[box] = checked; }
  platform::ImageType imageType() const override { return type; }
  void setImageType(platform::ImageType t) override { type = t; }
  std::uint16_t hotKey() const override { return shortcut; }
  void setHotKey(std::uint16_t value) override { shortcut = value; }
  std::uint16_t lastRegionHotKey() const override { return lastRegionShortcut; }
  void setLastRegionHotKey(std::uint16_t value) override { lastRegionShortcut = value; }
  std::uint16_t recordHotKey() const override { return recordShortcut; }
  void setRecordHotKey(std::uint16_t value) override { recordShortcut = value; }
  platform::RecordingType recordingType() const override { return recording; }
  void setRecordingType(platform::RecordingType t) override { recording = t; }
  std::string uploadToken() const override { return token; }
  void setUploadToken(const std::string& value) override { token = value; }

  std::map<platform::CheckBox, bool> boxes{{platform::CheckBox::AutoUpdate, true},
                                           {platform::CheckBox::AutoStart, true},
                                           {platform::CheckBox::Fade, true},
                                           {platform::CheckBox::AllMonitors, true}};
  platform::ImageType type = platform::ImageType::Jpeg;
  std::uint16_t shortcut = 32881;
  std::uint16_t lastRegionShortcut = 0;
  std::uint16_t recordShortcut = 0;
  platform::RecordingType recording = platform::RecordingType::Gif;
  std::string token;
};

} // namespace glimor::fakes
