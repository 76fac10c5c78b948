#include "imaging/colour_distance.h"
#include "imaging/gif_animation.h"
#include "imaging/gif_encoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <gif_lib.h>
#include <memory>

namespace glimor::imaging {
namespace {

using Frame = std::vector<std::uint32_t>;

// What a viewer shows: each image drawn over the canvas, its transparent index kept.
struct Played {
  std::vector<Frame> canvases;
  std::vector<int> delays; // centiseconds
  std::vector<GifImageDesc> rects;
  bool loopsForever = false;
};

Played play(const platform::Bytes& file) {
  struct Source {
    const platform::Bytes* file;
    std::size_t at = 0;
  } source{&file};
  auto read = [](GifFileType* gif, GifByteType* out, int count) {
    auto* s = static_cast<Source*>(gif->UserData);
    count = static_cast<int>(std::min<std::size_t>(count, s->file->size() - s->at));
    std::memcpy(out, s->file->data() + s->at, count);
    s->at += count;
    return count;
  };
  int error = 0;
  std::unique_ptr<GifFileType, void (*)(GifFileType*)> gif(DGifOpen(&source, read, &error),
                                                           [](GifFileType* g) {
                                                             int e;
                                                             DGifCloseFile(g, &e);
                                                           });
  EXPECT_TRUE(gif && DGifSlurp(gif.get()) == GIF_OK) << GifErrorString(gif ? gif->Error : error);
  Played played;
  if (!gif || gif->ImageCount == 0) return played;
  Frame canvas(static_cast<std::size_t>(gif->SWidth) * gif->SHeight, 0);
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    GraphicsControlBlock control{};
    EXPECT_EQ(DGifSavedExtensionToGCB(gif.get(), i, &control), GIF_OK);
    const ExtensionBlock* blocks = image.ExtensionBlocks;
    for (int b = 0; b + 1 < image.ExtensionBlockCount; ++b)
      if (blocks[b].Function == APPLICATION_EXT_FUNC_CODE && blocks[b].ByteCount == 11 &&
          std::memcmp(blocks[b].Bytes, "NETSCAPE2.0", 11) == 0 && blocks[b + 1].ByteCount == 3)
        played.loopsForever =
            blocks[b + 1].Bytes[0] == 1 && blocks[b + 1].Bytes[1] == 0 && blocks[b + 1].Bytes[2] == 0;
    const GifImageDesc& d = image.ImageDesc;
    for (int y = 0; y < d.Height; ++y)
      for (int x = 0; x < d.Width; ++x) {
        const int index = image.RasterBits[y * d.Width + x];
        if (index == control.TransparentColor) continue;
        const GifColorType c = d.ColorMap->Colors[index];
        canvas[static_cast<std::size_t>(d.Top + y) * gif->SWidth + d.Left + x] =
            (std::uint32_t{c.Red} << 16) | (c.Green << 8) | c.Blue;
      }
    played.canvases.push_back(canvas);
    played.delays.push_back(control.DelayTime);
    played.rects.push_back(d);
  }
  return played;
}

constexpr int W = 40, H = 20;

Frame frameOf(std::uint32_t (*colourAt)(int x, int y)) {
  Frame f(W * H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) f[y * W + x] = colourAt(x, y);
  return f;
}

TEST(GifAnimation, FramesOfUpTo256ColoursPlayBackExactly) {
  // 256 colours over the whole frame, then 255 new ones in a region holding unchanged pixels.
  const Frame first = frameOf([](int x, int y) { return std::uint32_t((y * W + x) % 256 * 0x010101); });
  Frame second = first;
  for (int i = 0; i < 255; ++i) second[(2 + i / 30) * W + 5 + i % 30] = 0x800000 + i * 7;
  platform::Bytes file;
  GifAnimationWriter writer(W, H, GifAnimationWriter::appendTo(file));
  writer.addFrame(first.data(), 100);
  writer.addFrame(second.data(), 250);
  writer.finish();
  const Played played = play(file);
  ASSERT_EQ(played.canvases.size(), 2u);
  EXPECT_EQ(played.canvases[0], first);
  EXPECT_EQ(played.canvases[1], second);
  EXPECT_EQ(played.delays, (std::vector<int>{10, 25}));
  EXPECT_TRUE(played.loopsForever);
}

TEST(GifAnimation, MergesIdenticalFramesAndKeepsTheTotalDelay) {
  const Frame a(W * H, 0x112233), b(W * H, 0x445566);
  platform::Bytes file;
  GifAnimationWriter writer(W, H, GifAnimationWriter::appendTo(file));
  for (int i = 0; i < 30; ++i) writer.addFrame((i / 3 % 2 ? b : a).data(), 33); // 15 fps runs of 3
  writer.addFrame(a.data(), 300'000); // longer than one frame's delay holds
  writer.lengthenLast(400'000);
  writer.finish();
  const Played played = play(file);
  ASSERT_EQ(played.canvases.size(), 12u); // 10 runs, a, and a frame carrying the rest
  int total = 0;
  for (int d : played.delays) total += d;
  EXPECT_EQ(total, 99 + 70'000);
  EXPECT_EQ(played.delays[0], 10); // 99 ms rounded
  EXPECT_EQ(played.delays[1], 10); // 198 ms rounded, less the 10 written
  EXPECT_EQ(played.canvases[11], a);
}

TEST(GifAnimation, WritesOnlyTheChangedRectangle) {
  Frame frame = frameOf([](int x, int y) { return std::uint32_t(x * 5000 + y * 77); }); // > 256 colours
  platform::Bytes file;
  GifAnimationWriter writer(W, H, GifAnimationWriter::appendTo(file));
  writer.addFrame(frame.data(), 50);
  Frame onePixelChanged = frame;
  onePixelChanged[7 * W + 9] = 0xFFFFFF;
  writer.addFrame(onePixelChanged.data(), 50); // the first frame goes out
  const std::size_t afterFirst = file.size();
  frame = onePixelChanged;
  Frame reduced = frame; // a changed gradient with unchanged holes: reduced, the holes kept
  for (int y = 3; y < 15; ++y)
    for (int x = 2; x < 38; ++x)
      if ((x + y) % 3) reduced[y * W + x] = std::uint32_t(x * 9000 + y * 300 + 1);
  writer.addFrame(reduced.data(), 50); // the one-pixel frame goes out
  EXPECT_LT(file.size() - afterFirst, 100u);
  writer.finish();
  const Played played = play(file);
  ASSERT_EQ(played.canvases.size(), 3u);
  const GifImageDesc& onePixel = played.rects[1];
  EXPECT_EQ((std::vector{onePixel.Left, onePixel.Top, onePixel.Width, onePixel.Height}),
            (std::vector{9, 7, 1, 1}));
  EXPECT_EQ(played.canvases[1][7 * W + 9], 0xFFFFFFu);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      if (reduced[y * W + x] == frame[y * W + x]) { // unchanged pixels stay as the last frame showed them
        EXPECT_EQ(played.canvases[2][y * W + x], played.canvases[1][y * W + x]) << x << "," << y;
      }
}

TEST(GifAnimation, ManyColoursKeepFlatAreasExactAndTheRestNear) {
  // Three flat colours, then a ramp of 960 colours along the grey line, each met once:
  // every ramp colour lands within a few levels, which a palette of the most frequent
  // colours alone would miss far down the ramp.
  constexpr int Wide = 64, High = 40;
  Frame frame(Wide * High);
  for (int i = 0; i < Wide * High; ++i)
    frame[i] = i < 960 ? std::uint32_t(i / 4) * 0x010101 + i % 4 : (i / 640 % 2 ? 0xFFFFFF : 0x2B5797);
  platform::Bytes file;
  GifAnimationWriter writer(Wide, High, GifAnimationWriter::appendTo(file));
  writer.addFrame(frame.data(), 100);
  writer.finish();
  const Played played = play(file);
  ASSERT_EQ(played.canvases.size(), 1u);
  for (int i = 0; i < Wide * High; ++i) {
    const std::uint32_t shown = played.canvases[0][i];
    if (i >= 960)
      EXPECT_EQ(shown, frame[i]) << i;
    else
      EXPECT_LE(squaredDistance(shown, frame[i]), 3 * 3 * 3) << i;
  }
}

TEST(GifAnimation, FramesThatFillTheStringTableManyTimesStayExact) {
  // Noise between long repeated stretches, so that full string tables are both kept and cleared;
  // each frame replaced by the next, the last keeping unchanged holes.
  constexpr int Wide = 300, High = 200;
  std::uint32_t seed = 12345;
  auto noise = [&] { return (seed = seed * 1103515245 + 12345) >> 16; };
  std::vector<Frame> frames;
  for (int f = 0; f < 3; ++f) {
    Frame frame(Wide * High);
    for (int i = 0; i < Wide * High; ++i)
      frame[i] = (i / 9000 % 2 ? noise() % 200 : (i + f) % 37) * 0x010203 + f;
    if (f == 2)
      for (int i = 0; i < Wide * High; i += 3) frame[i] = frames[1][i];
    frames.push_back(frame);
  }
  platform::Bytes file;
  GifAnimationWriter writer(Wide, High, GifAnimationWriter::appendTo(file));
  for (const Frame& frame : frames) writer.addFrame(frame.data(), 100);
  writer.finish();
  const Played played = play(file);
  ASSERT_EQ(played.canvases.size(), 3u);
  for (int f = 0; f < 3; ++f) EXPECT_EQ(played.canvases[f], frames[f]) << f;
}

TEST(GifAnimation, AFittedFrameTheNextReplacesSpendsLittleMoreError) {
  // A ramp of 768 greys: written alone, then followed by a frame that replaces every pixel.
  constexpr int Wide = 64, High = 48;
  Frame ramp(Wide * High), other(Wide * High, 0x3060C0);
  for (int i = 0; i < Wide * High; ++i) ramp[i] = std::uint32_t(i / 12) * 0x010101 + i % 4;
  auto errorOf = [&](bool followed) {
    platform::Bytes file;
    GifAnimationWriter writer(Wide, High, GifAnimationWriter::appendTo(file));
    writer.addFrame(ramp.data(), 100);
    if (followed) writer.addFrame(other.data(), 100);
    writer.finish();
    const Played played = play(file);
    EXPECT_EQ(played.canvases.size(), followed ? 2u : 1u);
    long total = 0;
    for (int i = 0; i < Wide * High; ++i) {
      const int error = squaredDistance(played.canvases.at(0)[i], ramp[i]);
      EXPECT_LE(error, 2 * 3 * 3 * 3 * 4) << i;
      total += error;
    }
    return total;
  };
  const long alone = errorOf(false), followed = errorOf(true);
  EXPECT_LE(followed, alone + Wide * High); // one unit of squared error per pixel at most
}

TEST(GifAnimation, RefusesBadInput) {
  platform::Bytes file;
  const auto sink = GifAnimationWriter::appendTo(file);
  EXPECT_THROW(GifAnimationWriter(0, 10, sink), EInvalidGraphic);
  EXPECT_THROW(GifAnimationWriter(70000, 10, sink), EInvalidGraphic);
  EXPECT_THROW(GifAnimationWriter(65535, 65535, sink), EInvalidGraphic);
  EXPECT_THROW(GifAnimationWriter(10, 10, nullptr), EInvalidGraphic);
  GifAnimationWriter writer(W, H, sink);
  const Frame frame(W * H, 0);
  EXPECT_THROW(writer.addFrame(nullptr, 10), EInvalidGraphic);
  EXPECT_THROW(writer.addFrame(frame.data(), -1), EInvalidGraphic);
  EXPECT_THROW(writer.lengthenLast(10), EInvalidGraphicOperation); // no frame yet
  EXPECT_THROW(writer.lengthenLast(-1), EInvalidGraphic);
  EXPECT_THROW(writer.finish(), EInvalidGraphicOperation);
  EXPECT_TRUE(file.empty());

  int calls = 0;
  GifAnimationWriter failing(W, H, [&](std::span<const std::uint8_t>) {
    if (++calls == 1) throw Error("Disk full");
  });
  failing.addFrame(frame.data(), 10);
  EXPECT_THROW(failing.finish(), Error);
  EXPECT_THROW(failing.finish(), EInvalidGraphicOperation); // never a trailer after a lost part
  EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace glimor::imaging
