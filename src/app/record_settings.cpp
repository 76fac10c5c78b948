#include "app/record_settings.h"

#include "app/settings.h"
#include "platform/ascii_case.h"
#include "platform/error.h"
#include "platform/paths.h"

#include <algorithm>

namespace glimor::app {

namespace {
const std::string section = "Record";

int integerIn(platform::Profile& profile, const std::string& key, int fallback, int lowest, int highest) {
  std::optional<std::string> text = profile.read(section, key);
  int value = text ? Settings::parseInteger(*text).value_or(fallback) : fallback;
  return std::clamp(value, lowest, highest);
}
} // namespace

RecordSettings RecordSettings::read(platform::Profile& profile) {
  RecordSettings settings;
  settings.seconds = integerIn(profile, "Seconds", settings.seconds, 1, longestSeconds);
  settings.fps = integerIn(profile, "Fps", settings.fps, 1, fastestFps);
  settings.cursor = integerIn(profile, "Cursor", 1, 0, 1) != 0;
  if (std::optional<std::string> type = profile.read(section, "Type");
      type && ascii::equalsIgnoringCase(*type, "WebM"))
    settings.type = platform::RecordingType::WebM;
  return settings;
}

void RecordSettings::writeType(platform::Profile& profile, platform::RecordingType type) {
  if (!profile.write(section, "Type", type == platform::RecordingType::WebM ? "WebM" : "GIF"))
    throw Error("Unable to write to " + profile.path());
}

std::string recordingFileFor(const std::string& executablePath, platform::RecordingType type) {
  return paths::folderOf(executablePath) +
         (type == platform::RecordingType::WebM ? "GlimorRecording.webm" : "GlimorRecording.gif");
}

} // namespace glimor::app
