#include "app/recorder.h"

#include "platform/error.h"
#include "record/bar_placement.h"

#include <cstdio>

namespace glimor::app {

namespace {
const std::string usualTip = "Glimor!";
constexpr unsigned tickMs = 200; // the elapsed time is shown to the second, and the end is met soon
} // namespace

std::string elapsedText(std::uint64_t ms) {
  char text[32];
  std::uint64_t seconds = ms / 1000;
  std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                static_cast<unsigned long long>(seconds % 60));
  return text;
}

std::string outcomeText(const record::RecordingOutcome& o) {
  char text[200];
  std::snprintf(
      text, sizeof text,
      "Recorded %s in %zu frames, %zu missed (grab %.1f ms, encode %.1f ms a frame; p95 %.1f, %.1f).",
      elapsedText(o.lengthMs).c_str(), o.framesGrabbed, o.framesMissed, o.grab.median / 1000.0,
      o.encode.median / 1000.0, o.grab.p95 / 1000.0, o.encode.p95 / 1000.0);
  return text;
}

Recorder::Recorder(RecorderPlatform platform, std::string executablePath,
                   std::function<void(const std::string& file)> upload)
    : platform_(platform), executablePath_(std::move(executablePath)), upload_(std::move(upload)) {
  ticker_ = platform_.timers.create(tickMs, false, [this] { onTick(); });
}

Recorder::~Recorder() {
  if (recording_) recording_->discard();
}

void Recorder::start(const screen::Rect& selection, const screen::ScreenLayout& layout) {
  if (recording_) return;
  const RecordSettings settings = RecordSettings::read(platform_.profile);
  screen::Rect area{selection.left + layout.area.left, selection.top + layout.area.top,
                    selection.right + layout.area.left, selection.bottom + layout.area.top};
  file_ = recordingFileFor(executablePath_, settings.type);
  // A size the file cannot hold is refused here, before anything shows.
  auto encoder = record::fileEncoder(settings.type, area.width(), area.height(), file_, platform_.files);
  recording_ = std::make_unique<record::Recording>(area, settings.fps, settings.seconds * 1000,
                                                   settings.cursor, platform_.source, std::move(encoder));
  // The frame and bar first: the recording's first frame is taken after them, and they stand
  // outside it anyway.
  record::BarPlacement bar = record::barPlacementFor(selection, layout);
  if (bar.at) *bar.at = {bar.at->x + layout.area.left, bar.at->y + layout.area.top};
  platform_.view.show(area, bar.at, bar.dpi);
  platform_.view.setElapsed(elapsedText(0));
  platform_.tray.showRecording(true);
  platform_.tray.setTip("Recording " + elapsedText(0));
  shownSeconds_ = 0;
  recording_->start();
  ticker_->setEnabled(true);
}

void Recorder::onTick() {
  if (!recording_) return;
  if (recording_->reachedLongest()) return stop();
  std::uint64_t seconds = recording_->elapsedMs() / 1000;
  if (seconds == shownSeconds_) return;
  shownSeconds_ = seconds;
  platform_.view.setElapsed(elapsedText(seconds * 1000));
  platform_.tray.setTip("Recording " + elapsedText(seconds * 1000));
}

void Recorder::end() {
  ticker_->setEnabled(false);
  platform_.view.hide();
  platform_.tray.showRecording(false);
  platform_.tray.setTip(usualTip);
}

void Recorder::stop() {
  if (!recording_) return;
  end();
  std::unique_ptr<record::Recording> recording = std::move(recording_);
  try {
    platform_.mainView.setStatus(0, outcomeText(recording->stop()));
  } catch (const std::exception& e) {
    // The previous recording's file, if any, is left as it was; nothing is uploaded.
    platform_.tray.showBalloon(platform::BalloonIcon::Error,
                               std::string("The recording could not be written: ") + e.what());
    return;
  }
  if (upload_) upload_(file_);
}

void Recorder::discard() {
  if (!recording_) return;
  end();
  std::unique_ptr<record::Recording> recording = std::move(recording_);
  recording->discard();
}

} // namespace glimor::app
