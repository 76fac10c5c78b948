#include "imaging/gif_encoder.h"
#include "imaging/webm_writer.h"
#include "support/webm_playback.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

namespace glimor::imaging {
namespace {

using Frame = std::vector<std::uint32_t>;

Frame flat(int width, int height, std::uint32_t colour) {
  return Frame(static_cast<std::size_t>(width) * height, colour);
}

int channelDistance(std::uint32_t a, std::uint32_t b) {
  int worst = 0;
  for (int shift = 0; shift <= 16; shift += 8)
    worst = std::max(worst,
                     std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
  return worst;
}

TEST(WebmWriter, MergesRepeatsDropsUnshownFramesAndKeepsTheTotalDuration) {
  const int width = 33, height = 17; // odd: the chroma planes round up
  const std::vector<std::pair<std::uint32_t, int>> given = {{0xFF0000, 100}, {0xFF0000, 50}, {0x00FF00, 30},
                                                            {0x123456, 0},   {0x0000FF, 40}, {0x0000FF, 60}};
  platform::Bytes file;
  WebmWriter writer(width, height, WebmWriter::appendTo(file));
  for (const auto& [colour, delay] : given)
    writer.addFrame(flat(width, height, colour | 0xFF000000).data(), delay);
  writer.lengthenLast(25);
  EXPECT_TRUE(file.empty()); // everything comes at the end
  writer.finish();

  const std::vector<std::uint32_t> shown = {0xFF0000, 0x00FF00, 0x0000FF};
  const testing::WebmPlayback played = testing::playWebm(file, [&](int index, const Frame& pixels) {
    for (std::uint32_t p : {pixels.front(), pixels[pixels.size() / 2], pixels.back()})
      EXPECT_LE(channelDistance(p, shown.at(index)), 8) << "frame " << index; // a wrong matrix is 20 off
  });
  EXPECT_EQ(played.codec, "V_VP9");
  EXPECT_EQ(played.width, width);
  EXPECT_EQ(played.height, height);
  EXPECT_EQ(played.startsMs, (std::vector<std::int64_t>{0, 150, 180}));
  EXPECT_EQ(played.keyframes, (std::vector<bool>{true, false, false}));
  EXPECT_EQ(played.lastFrameDurationMs, 125);
  EXPECT_DOUBLE_EQ(played.durationMs, 305);
  EXPECT_EQ(played.matrix, 1u); // BT.709
  EXPECT_EQ(played.range, 1u);  // limited
  EXPECT_GE(played.cues, 1);
}

// Text-like strokes on white with a block moving over them, as a recorder would give, some of
// them hurried.
TEST(WebmWriter, ScreenLikeContentPlaysBackAtLeast38dB) {
  const int width = 192, height = 108;
  Frame page = flat(width, height, 0xFFFFFF);
  for (int y = 8; y + 12 < height; y += 16)
    for (int x = 6; x < width - 6; ++x)
      for (int dy = 0; dy < 9; ++dy)
        if ((x * 7 + dy * 3 + y) % 11 < 3) page[static_cast<std::size_t>(y + dy) * width + x] = 0x202124;
  std::vector<Frame> frames;
  platform::Bytes file;
  WebmWriter writer(width, height, WebmWriter::appendTo(file));
  auto hurried = [](int frame) { return frame >= 3 && frame < 6; }; // a little worse, for a while
  for (int i = 0; i < 8; ++i) {
    Frame frame = page;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x)
        frame[static_cast<std::size_t>(10 + 8 * i + y) * width + 12 * i + x] = 0x1A73E8;
    writer.setHurried(hurried(i - 1)); // for the frame before, which this one's coming encodes
    writer.addFrame(frame.data(), 66);
    frames.push_back(std::move(frame));
  }
  writer.finish();
  const testing::WebmPlayback played = testing::playWebm(file, [&](int index, const Frame& pixels) {
    const Frame& source = frames.at(static_cast<std::size_t>(index));
    EXPECT_GE(testing::psnr(testing::squaredError(source, pixels), 3.0 * source.size()),
              hurried(index) ? 36 : 38)
        << "frame " << index;
  });
  EXPECT_EQ(played.startsMs.size(), frames.size());
  EXPECT_DOUBLE_EQ(played.durationMs, 8 * 66);
}

TEST(WebmWriter, RefusesBadSizesBadFramesAndUseAfterFinishOrFailure) {
  platform::Bytes file;
  const WebmWriter::Sink sink = WebmWriter::appendTo(file);
  for (const auto& [w, h] :
       std::vector<std::pair<int, int>>{{0, 10},
                                        {10, -1},
                                        {WebmWriter::largestSide + 1, 2},
                                        {WebmWriter::largestSide, WebmWriter::largestSide}})
    EXPECT_THROW(WebmWriter(w, h, sink), EInvalidGraphic) << w << "x" << h;
  EXPECT_THROW(WebmWriter(8, 8, nullptr), EInvalidGraphic);

  WebmWriter writer(8, 8, sink);
  EXPECT_THROW(writer.finish(), EInvalidGraphicOperation);
  EXPECT_THROW(writer.lengthenLast(10), EInvalidGraphicOperation); // no frame yet
  EXPECT_THROW(writer.addFrame(nullptr, 10), EInvalidGraphic);
  const Frame frame = flat(8, 8, 0x808080);
  EXPECT_THROW(writer.addFrame(frame.data(), -1), EInvalidGraphic);
  EXPECT_THROW(writer.lengthenLast(-1), EInvalidGraphic);
  writer.addFrame(frame.data(), 10); // still usable
  writer.finish();
  EXPECT_EQ(testing::playWebm(file).startsMs.size(), 1u);
  EXPECT_THROW(writer.addFrame(frame.data(), 10), EInvalidGraphicOperation);
  EXPECT_THROW(writer.finish(), EInvalidGraphicOperation);

  WebmWriter failing(8, 8, [](std::span<const std::uint8_t>) { throw std::runtime_error("disk full"); });
  failing.addFrame(frame.data(), 10);
  EXPECT_THROW(failing.finish(), std::runtime_error);
  EXPECT_THROW(failing.finish(), EInvalidGraphicOperation);
}

} // namespace
} // namespace glimor::imaging
