#include "record/bar_placement.h"
#include "record/recording.h"

#include "fakes/fake_frame_source.h"
#include "platform/error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>

namespace glimor::record {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

// Keeps what it was given: each frame's first pixel (the grab's number) and its delay, with
// the time it was lengthened by, and whether it was to be hurried.
struct KeptFrames : FrameEncoder {
  void addFrame(const std::uint32_t* pixels, int delayMs) override {
    if (holdFirst.valid() && frames.empty()) holdFirst.wait();
    if (failAtFrame && frames.size() == static_cast<std::size_t>(*failAtFrame))
      throw Error("Stream write error");
    frames.emplace_back(pixels[0], delayMs);
    hurriedFrames.push_back(hurried);
  }
  void setHurried(bool framesWait) override { hurried = framesWait; }
  void lengthenLast(int ms) override {
    ASSERT_FALSE(frames.empty());
    frames.back().second += ms;
  }
  void finish() override { ++finished; }
  std::vector<std::pair<std::uint32_t, int>> frames;
  std::vector<bool> hurriedFrames;
  bool hurried = false;
  int finished = 0;
  std::optional<int> failAtFrame;
  std::shared_future<void> holdFirst; // the first frame waits for it
};

struct RecordingTest : ::testing::Test {
  fakes::FakeFrameSource source;
  KeptFrames* kept = nullptr;
  std::unique_ptr<Recording> recordingOf(int fps, int longestMs) {
    auto encoder = std::make_unique<KeptFrames>();
    kept = encoder.get();
    return std::make_unique<Recording>(screen::Rect{10, 20, 50, 40}, fps, longestMs, true, source,
                                       std::move(encoder));
  }
};

TEST_F(RecordingTest, FramesComeAtTheRateUntilTheLongestLengthAndShowUntilTheNext) {
  source.grabMs = 100; // the grabs take just the time between frames at 10 a second
  auto recording = recordingOf(10, 1000);
  recording->start();
  while (!recording->reachedLongest()) std::this_thread::yield();
  EXPECT_EQ(recording->elapsedMs(), 1000u);
  RecordingOutcome outcome = recording->stop();
  EXPECT_EQ(outcome.framesGrabbed, 10u);
  EXPECT_EQ(outcome.framesMissed, 0u);
  EXPECT_EQ(outcome.lengthMs, 1000u);
  ASSERT_EQ(kept->frames.size(), 10u);
  for (std::uint32_t i = 0; i < 10; ++i) EXPECT_THAT(kept->frames[i], Pair(i, 100)) << i;
  EXPECT_EQ(kept->finished, 1);
  EXPECT_TRUE(source.pointerAsked);
}

TEST_F(RecordingTest, SlowGrabsLetMomentsPassAndTheDelaysStillAddUpToTheLength) {
  source.grabMs = 250; // at 10 a second, each grab overruns two moments... and a half
  source.failAt = 2;   // and one moment the screen cannot be read
  auto recording = recordingOf(10, 1000);
  recording->start();
  while (!recording->reachedLongest()) std::this_thread::yield();
  RecordingOutcome outcome = recording->stop();
  // Grabs begin at 0, 250, 500 (failed) and 750: three frames for ten moments.
  EXPECT_THAT(kept->frames, ElementsAre(Pair(0u, 250), Pair(1u, 500), Pair(3u, 250)));
  EXPECT_EQ(outcome.framesGrabbed, 3u);
  EXPECT_EQ(outcome.framesMissed, 7u);
  EXPECT_EQ(outcome.lengthMs, 1000u);
}

TEST_F(RecordingTest, StoppingEndsAtTheMomentOfTheStopAndDiscardingEncodesNothingMore) {
  source.holdAt = 4; // the test stops while the fifth grab is under way
  auto recording = recordingOf(10, 60000);
  recording->start();
  source.waitUntilHeld();
  EXPECT_EQ(recording->elapsedMs(), 400u);
  // Only the stop reads the clock while the grab is held: once it has, the grab may end.
  const int readings = source.readingsSoFar();
  auto stopped = std::async(std::launch::async, [&] { return recording->stop(); });
  source.waitForReadings(readings);
  source.release();
  RecordingOutcome outcome = stopped.get();
  EXPECT_EQ(outcome.lengthMs, 400u);
  EXPECT_EQ(kept->finished, 1);
  int total = 0;
  for (auto& frame : kept->frames) total += frame.second;
  EXPECT_EQ(total, 400) << "the delays add up to the stop, whatever the grab under way gave";

  fakes::FakeFrameSource other;
  other.holdAt = 3;
  auto encoder = std::make_unique<KeptFrames>();
  KeptFrames* discarded = encoder.get();
  Recording thrownAway({0, 0, 8, 8}, 10, 60000, false, other, std::move(encoder));
  thrownAway.start();
  other.waitUntilHeld();
  const int otherReadings = other.readingsSoFar();
  auto ended = std::async(std::launch::async, [&] { thrownAway.discard(); });
  other.waitForReadings(otherReadings);
  other.release();
  ended.get();
  EXPECT_EQ(discarded->finished, 0);
  EXPECT_LE(discarded->frames.size(), 3u); // at most the three grabbed before the held one
}

TEST_F(RecordingTest, MomentsThatPassWhileEveryPictureIsWithTheEncoderAreMissedUpToTheStop) {
  std::promise<void> encoderFree;
  auto recording = recordingOf(10, 60000);
  kept->holdFirst = encoderFree.get_future().share();
  source.holdAt = 3; // grabbed at 300, into the last free picture: frame 0 is with the encoder
  recording->start();
  source.waitUntilHeld();
  source.advance(250); // moment 4 passes, the stop comes during moment 5
  const int readings = source.readingsSoFar();
  auto stopped = std::async(std::launch::async, [&] { return recording->stop(); });
  source.waitForReadings(readings);
  source.release();
  encoderFree.set_value();
  const RecordingOutcome outcome = stopped.get();
  EXPECT_EQ(outcome.lengthMs, 550u);
  EXPECT_EQ(outcome.framesGrabbed, 4u);
  EXPECT_EQ(outcome.framesMissed, 1u);
  // Frame 1 went to the encoder with frame 2 waiting behind it, the last with none.
  ASSERT_EQ(kept->hurriedFrames.size(), 4u);
  EXPECT_TRUE(kept->hurriedFrames[1]);
  EXPECT_FALSE(kept->hurriedFrames[3]);
}

TEST_F(RecordingTest, AnEncoderFailureEndsTheGrabsAndComesOutOfStop) {
  auto recording = recordingOf(10, 60000);
  kept->failAtFrame = 2;
  recording->start();
  // Three frames grabbed: the third is encoded by the time the stop has drained the queue.
  while (source.grabsSoFar() < 3) std::this_thread::yield();
  EXPECT_THROW(recording->stop(), Error);
  EXPECT_EQ(kept->finished, 0);
  EXPECT_EQ(kept->frames.size(), 2u);
}

TEST(BarPlacementTest, TheBarStandsOutsideTheRecordingUnderAboveBesideOrNowhere) {
  screen::ScreenLayout layout{{0, 0, 1920 + 2560, 1440},
                              {{{0, 0, 1920, 1080}, 96, true}, {{1920, 0, 4480, 1440}, 144, false}}};
  auto at = [&](screen::Rect s) { return barPlacementFor(s, layout); };
  BarPlacement under = at({100, 100, 500, 400});
  EXPECT_EQ(under.at, (screen::Point{300 - barWidth / 2, 400 + barGap}));
  EXPECT_EQ(under.dpi, 96);
  EXPECT_EQ(at({100, 700, 500, 1070}).at, (screen::Point{300 - barWidth / 2, 700 - barGap - barHeight}));
  EXPECT_EQ(at({0, 0, 1500, 1080}).at, (screen::Point{1500 + barGap, 540 - barHeight / 2}));
  EXPECT_EQ(at({0, 0, 1920, 1080}).at, std::nullopt) << "a whole monitor leaves no room";
  BarPlacement scaled = at({2000, 1300, 2100, 1400}); // the second monitor, 150 %
  EXPECT_EQ(scaled.dpi, 144);
  ASSERT_TRUE(scaled.at);
  EXPECT_EQ(scaled.at->y, 1300 - barGap * 3 / 2 - barHeight * 3 / 2);
  EXPECT_EQ(scaled.at->x, 1920) << "kept on its monitor";
}

} // namespace
} // namespace glimor::record
