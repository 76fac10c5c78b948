#pragma once
#include <cstdint>
#include <string>

namespace glimor::platform {

enum class CheckBox { AutoUpdate, AutoStart, Fade, AllMonitors };

// 1 "JPEG Image (.jpg)", 2 "Bitmap (.bmp)", 3 "GIF Image (.gif)", 4 "PNG Image (.png)";
// 0 when none is selected.
enum class ImageType { None = 0, Jpeg = 1, Bmp = 2, Gif = 3, Png = 4 };

// "Recording type": what a recording is written as.
enum class RecordingType { Gif, WebM };

// The controls of the Options page. Setters change what the user sees without
// running the controls' change handlers.
class OptionControls {
public:
  virtual ~OptionControls() = default;
  virtual bool checked(CheckBox box) const = 0;
  virtual void setChecked(CheckBox box, bool checked) = 0;
  virtual ImageType imageType() const = 0;
  virtual void setImageType(ImageType type) = 0;
  // The hot key control's combination as a shortcut value.
  virtual std::uint16_t hotKey() const = 0;
  virtual void setHotKey(std::uint16_t shortcut) = 0;
  // The second hot key control, "Capture last region"; 0 when empty.
  virtual std::uint16_t lastRegionHotKey() const = 0;
  virtual void setLastRegionHotKey(std::uint16_t shortcut) = 0;
  // The third, "Record a region"; 0 when empty.
  virtual std::uint16_t recordHotKey() const = 0;
  virtual void setRecordHotKey(std::uint16_t shortcut) = 0;
  virtual RecordingType recordingType() const = 0;
  virtual void setRecordingType(RecordingType type) = 0;
  // "Upload token:", a masked field: the text as typed, empty when no token is set.
  virtual std::string uploadToken() const = 0;
  virtual void setUploadToken(const std::string& token) = 0;
};

} // namespace glimor::platform
