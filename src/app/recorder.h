#pragma once
#include "app/record_settings.h"
#include "platform/files.h"
#include "platform/frame_source.h"
#include "platform/main_view.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "platform/recording_view.h"
#include "platform/timer.h"
#include "platform/tray.h"
#include "record/recording.h"
#include "screen/screen_layout.h"

#include <functional>
#include <memory>
#include <string>

namespace glimor::app {

struct RecorderPlatform {
  platform::FrameSource& source;
  platform::RecordingView& view;
  platform::Tray& tray;
  platform::Timers& timers;
  platform::Messages& messages;
  platform::Files& files;
  platform::Profile& profile;
  platform::MainView& mainView; // its status line tells how the recording went
};

inline const std::string recordingRunsText =
    "A recording is running: the record hot key again, \"Stop\" or the tray menu ends it.";

// "Record a region": the recording of a selected rectangle of the live screen, its frame and bar,
// the tray icon's look and tip while it runs, and its end: stopped by the user or by the longest
// length ([Record] Seconds), or thrown away. A stopped recording's file goes up the upload road.
class Recorder {
public:
  Recorder(RecorderPlatform platform, std::string executablePath,
           std::function<void(const std::string& file)> upload);
  ~Recorder();

  bool recording() const { return recording_ != nullptr; }
  // Starts recording `selection`, in picture pixels of `layout` (the capture that selected it).
  void start(const screen::Rect& selection, const screen::ScreenLayout& layout);
  // The record hot key again, "Stop", "Stop recording" or the longest length.
  void stop();
  // "Discard", "Discard recording": no file, no upload.
  void discard();

private:
  void onTick();
  void end();

  RecorderPlatform platform_;
  std::string executablePath_;
  std::function<void(const std::string&)> upload_;
  std::unique_ptr<record::Recording> recording_;
  std::string file_;
  std::unique_ptr<platform::Timer> ticker_;
  std::uint64_t shownSeconds_ = ~0ull;
};

// "m:ss" of whole seconds.
std::string elapsedText(std::uint64_t ms);
// "Recorded 0:30 in 450 frames, 0 missed (grab 12.5 ms, encode 20.1 ms a frame; p95 15.0, 31.2)."
std::string outcomeText(const record::RecordingOutcome& outcome);

} // namespace glimor::app
