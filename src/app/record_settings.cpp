#include "app/record_settings.h"

#include "platform/ascii_case.h"
#include "platform/ini_keys.h"
#include "platform/paths.h"

namespace glimor::app {

namespace ini = platform::ini;

RecordSettings RecordSettings::read(platform::Profile& profile) {
  RecordSettings settings;
  settings.seconds = ini::read(profile, ini::recordSeconds);
  settings.fps = ini::read(profile, ini::recordFps);
  settings.cursor = ini::read(profile, ini::recordCursor) != 0;
  if (ascii::equalsIgnoringCase(ini::read(profile, ini::recordType), "WebM"))
    settings.type = platform::RecordingType::WebM;
  return settings;
}

void RecordSettings::writeType(platform::Profile& profile, platform::RecordingType type) {
  ini::write(profile, ini::recordType, std::string(type == platform::RecordingType::WebM ? "WebM" : "GIF"));
}

std::string recordingFileFor(const std::string& executablePath, platform::RecordingType type) {
  return paths::folderOf(executablePath) +
         (type == platform::RecordingType::WebM ? "GlimorRecording.webm" : "GlimorRecording.gif");
}

} // namespace glimor::app
