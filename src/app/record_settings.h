#pragma once
#include "platform/option_controls.h"
#include "platform/profile.h"

#include <string>

namespace glimor::app {

// Glimor.ini's [Record] section (platform/ini_keys.h): a value that does not parse gives the
// default; one outside its range is taken to the nearest bound.
struct RecordSettings {
  int seconds = 30;   // Seconds, 1-300: the recording stops by itself after this long
  int fps = 15;       // Fps, 1-30
  bool cursor = true; // Cursor: the mouse pointer drawn into the frames
  platform::RecordingType type = platform::RecordingType::Gif; // Type=GIF|WebM

  static RecordSettings read(platform::Profile& profile);
  // Stores the type chosen on the Options page; throws Error("Unable to write to <path>").
  static void writeType(platform::Profile& profile, platform::RecordingType type);
};

// "GlimorRecording.gif" or "GlimorRecording.webm" beside the executable.
std::string recordingFileFor(const std::string& executablePath, platform::RecordingType type);

} // namespace glimor::app
