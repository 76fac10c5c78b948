#include "record/recording.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace glimor::record {

namespace {
using Clock = std::chrono::steady_clock;

std::uint32_t microsecondsSince(Clock::time_point start) {
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());
}

FrameCost costOf(std::vector<std::uint32_t> costs) {
  if (costs.empty()) return {};
  std::sort(costs.begin(), costs.end());
  return {costs[costs.size() / 2], costs[costs.size() * 95 / 100]};
}

// Enough for the encoder to take one frame while the grabber fills the next, and two more
// waiting when a frame takes the encoder longer than a moment of the frame rate: the first frame
// of a GIF of a whole 1920x1080 screen of many colours takes about 160 ms, two and a half moments
// at 15 frames a second.
constexpr std::size_t pictureCount = 4;
} // namespace

Recording::Recording(screen::Rect area, int fps, int longestMs, bool withPointer,
                     platform::FrameSource& source, std::unique_ptr<FrameEncoder> encoder)
    : area_(area), fps_(std::max(1, fps)), longestMs_(static_cast<std::uint64_t>(std::max(1, longestMs))),
      withPointer_(withPointer), source_(source), encoder_(std::move(encoder)), frames_(pictureCount) {
  for (std::size_t i = 0; i < pictureCount; ++i) free_.push_back(i);
}

Recording::~Recording() {
  if (grabber_.joinable() || encoderThread_.joinable()) end(false);
}

void Recording::start() {
  startMs_ = source_.nowMs();
  grabber_ = std::thread([this] { grabLoop(); });
  encoderThread_ = std::thread([this] { encodeLoop(); });
}

std::uint64_t Recording::elapsedMs() {
  std::lock_guard lock(mutex_);
  if (grabbingDone_) return endMs_;
  return std::min(source_.nowMs() - startMs_, longestMs_);
}

bool Recording::reachedLongest() {
  std::lock_guard lock(mutex_);
  return grabbingDone_ && !stopping_ && !discarding_;
}

RecordingOutcome Recording::stop() {
  end(true);
  if (failure_) std::rethrow_exception(failure_);
  outcome_.grab = costOf(grabCosts_);
  outcome_.encode = costOf(encodeCosts_);
  return outcome_;
}

void Recording::discard() {
  end(false);
}

void Recording::end(bool keep) {
  {
    std::lock_guard lock(mutex_);
    if (!grabbingDone_) endMs_ = std::min(source_.nowMs() - startMs_, longestMs_);
    (keep ? stopping_ : discarding_) = true;
    changed_.notify_all();
  }
  if (grabber_.joinable()) grabber_.join();
  if (encoderThread_.joinable()) encoderThread_.join();
}

void Recording::grabLoop() {
  std::uint64_t slot = 0; // the next moment of the frame rate, counted from the start
  std::unique_lock lock(mutex_);
  auto ended = [this] { return stopping_ || discarding_ || failure_; };
  // The moment a time falls in; those from `slot` up to it went by with no frame grabbed.
  auto momentOf = [this](std::uint64_t ms) { return ms * static_cast<std::uint64_t>(fps_) / 1000; };
  auto letPass = [&](std::uint64_t ms) { outcome_.framesMissed += std::max(momentOf(ms), slot) - slot; };
  // Grabbing ends: the moments before the end's own that no frame was grabbed for were missed (every
  // picture was still with the encoder, or the last grab overran them).
  auto finishAt = [&](std::uint64_t ms) {
    if (!stopping_ && !discarding_) endMs_ = ms; // stop() has set its own moment
    letPass(endMs_);
    grabbingDone_ = true;
    changed_.notify_all();
  };
  for (;;) {
    const std::uint64_t dueMs = slot * 1000 / static_cast<std::uint64_t>(fps_);
    if (dueMs >= longestMs_) return finishAt(longestMs_);
    for (std::uint64_t now = source_.nowMs() - startMs_; now < dueMs && !ended();
         now = source_.nowMs() - startMs_)
      changed_.wait_for(lock, std::chrono::milliseconds(dueMs - now));
    changed_.wait(lock, [&] { return !free_.empty() || ended(); });
    if (ended()) return finishAt(0);
    std::size_t index = free_.back();
    free_.pop_back();
    lock.unlock();
    const std::uint64_t at = source_.nowMs() - startMs_;
    const Clock::time_point began = Clock::now();
    const bool grabbed = at < longestMs_ && source_.grab(area_, withPointer_, frames_[index].picture);
    const std::uint32_t cost = microsecondsSince(began);
    lock.lock();
    // A frame grabbed after the moment the user stopped is no part of the recording; nor is it
    // missed when its own moment began before the stop (the stop came while it was due).
    if ((stopping_ || discarding_) && at > endMs_) {
      free_.push_back(index);
      return finishAt(0);
    }
    if (at >= longestMs_) {
      free_.push_back(index);
      return finishAt(longestMs_);
    }
    letPass(at); // the grab came late, or the one before took long
    if (grabbed) {
      frames_[index].atMs = at;
      queue_.push_back(index);
      ++outcome_.framesGrabbed;
      grabCosts_.push_back(cost);
    } else {
      free_.push_back(index);
      ++outcome_.framesMissed;
    }
    changed_.notify_all();
    slot = std::max(slot + 1, momentOf(at) + 1);
  }
}

// Each frame is shown until the next one was grabbed, the last until the end. A frame goes to
// the encoder as soon as it comes and lengthened once the next has come, so that its picture is
// free again at once.
void Recording::encodeLoop() {
  std::optional<std::uint64_t> lastAtMs;
  try {
    for (;;) {
      std::size_t next;
      bool framesWait;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !queue_.empty() || grabbingDone_ || discarding_; });
        if (discarding_) return;
        if (queue_.empty()) break; // grabbing is done and every frame has come
        next = queue_.front();
        queue_.erase(queue_.begin());
        framesWait = !queue_.empty();
      }
      const Frame& frame = frames_[next];
      const Clock::time_point began = Clock::now();
      if (lastAtMs) encoder_->lengthenLast(static_cast<int>(frame.atMs - *lastAtMs));
      encoder_->setHurried(framesWait); // before the round of pictures runs out
      encoder_->addFrame(frame.picture.pixels.data(), 0);
      encodeCosts_.push_back(microsecondsSince(began)); // only this thread, until it is joined
      lastAtMs = frame.atMs;
      std::lock_guard lock(mutex_);
      free_.push_back(next);
      changed_.notify_all();
    }
    std::uint64_t endMs;
    {
      std::lock_guard lock(mutex_);
      endMs = endMs_;
      outcome_.lengthMs = endMs_;
    }
    if (lastAtMs) encoder_->lengthenLast(static_cast<int>(endMs - std::min(endMs, *lastAtMs)));
    encoder_->finish();
  } catch (...) {
    std::lock_guard lock(mutex_);
    failure_ = std::current_exception();
    changed_.notify_all();
  }
}

} // namespace glimor::record
