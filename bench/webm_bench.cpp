// The WebM writer on synthetic screen recordings (a page of text with a moving pointer,
// then scrolling, then typing): its bytes against the animated GIF of the same frames,
// the PSNR of what a player shows, and the encoding time per frame on this thread.
#include "imaging/gif_animation.h"
#include "imaging/webm_writer.h"
#include "support/webm_playback.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace glimor;
using Frame = std::vector<std::uint32_t>;

namespace {

struct Screen {
  int width, height;
  Frame page; // a tall document that scrolls under the window
  int pageHeight;
};

std::uint32_t lcg(std::uint32_t& state) {
  return state = state * 1664525u + 1013904223u;
}

// Lines of anti-aliased glyph-like strokes on white, headings in dark blue, a grey side bar.
Screen makeScreen(int width, int height) {
  Screen s{width, height, {}, height * 3};
  s.page.assign(static_cast<std::size_t>(width) * s.pageHeight, 0xFFFFFF);
  std::uint32_t seed = 12345;
  for (int y = 0; y < s.pageHeight; ++y)
    for (int x = 0; x < width / 6; ++x) s.page[static_cast<std::size_t>(y) * width + x] = 0xF0F2F5;
  for (int line = 0; 24 * line + 30 < s.pageHeight; ++line) {
    const int top = 24 * line + 10;
    const bool heading = line % 9 == 0;
    const std::uint32_t ink = heading ? 0x1F3A5Fu : 0x202124u;
    int x = width / 6 + 20;
    const int end = width - 40 - static_cast<int>(lcg(seed) % (width / 4));
    while (x + 8 < end) {
      const int glyphs = 2 + static_cast<int>(lcg(seed) % 8);
      for (int g = 0; g < glyphs && x + 8 < end; ++g, x += 8) {
        const std::uint32_t shape = lcg(seed);
        for (int gy = 0; gy < 12; ++gy)
          for (int gx = 0; gx < 6; ++gx)
            if (shape >> ((gy / 3) * 4 + gx / 2 + (gy % 3 == 1 ? 3 : 0)) & 1 &&
                (gx == 0 || gy % 4 != 2 || heading))
              s.page[static_cast<std::size_t>(top + gy) * width + x + gx] = ink;
      }
      x += 6;
    }
  }
  // Anti-aliasing: the background right of a stroke takes half its colour.
  for (std::size_t i = s.page.size() - 1; i > 0; --i)
    if (s.page[i] == 0xFFFFFF && s.page[i - 1] != 0xFFFFFF && s.page[i - 1] != 0xF0F2F5) {
      const std::uint32_t c = s.page[i - 1];
      s.page[i] =
          (((c >> 16) + 255) / 2) << 16 | ((((c >> 8) & 0xFF) + 255) / 2) << 8 | ((c & 0xFF) + 255) / 2;
    }
  return s;
}

void drawPointer(Frame& frame, int width, int height, int px, int py) {
  for (int y = 0; y < 19; ++y)
    for (int x = 0; x <= y / 2 + 1 && x < 12; ++x) {
      if (px + x >= width || py + y >= height) continue;
      const bool edge = x == 0 || x == y / 2 + 1 || y == 18;
      frame[static_cast<std::size_t>(py + y) * width + px + x] = edge ? 0x000000 : 0xFFFFFF;
    }
}

// 60 frames at 15 frames a second: the pointer moves, the page scrolls, a line is typed,
// and the last second shows the same picture.
std::vector<Frame> makeRecording(int width, int height) {
  const Screen s = makeScreen(width, height);
  std::vector<Frame> frames;
  int scroll = 0, typed = 0;
  for (int i = 0; i < 60; ++i) {
    if (i >= 15 && i < 30) scroll += 12;
    if (i >= 30 && i < 45) typed += 3;
    Frame frame(s.page.begin() + static_cast<std::ptrdiff_t>(scroll) * width,
                s.page.begin() + static_cast<std::ptrdiff_t>(scroll + height) * width);
    for (int c = 0; c < typed; ++c)
      for (int gy = 0; gy < 12; ++gy)
        for (int gx = 0; gx < 6; ++gx)
          if ((c * 7 + gx * 3 + gy) % 5 < 2)
            frame[static_cast<std::size_t>(height / 2 + gy) * width + width / 6 + 20 + 8 * c + gx] = 0x202124;
    const int step = std::min(i, 45);
    drawPointer(frame, width, height, width / 3 + 9 * step, height / 4 + 5 * step);
    frames.push_back(std::move(frame));
  }
  return frames;
}

void measure(int width, int height, const char* outDir) {
  const std::vector<Frame> frames = makeRecording(width, height);
  platform::Bytes webm, gif;
  const auto start = std::chrono::steady_clock::now();
  {
    imaging::WebmWriter writer(width, height, imaging::WebmWriter::appendTo(webm));
    for (const Frame& f : frames) writer.addFrame(f.data(), 67);
    writer.finish();
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  {
    imaging::GifAnimationWriter writer(width, height, imaging::GifAnimationWriter::appendTo(gif));
    for (const Frame& f : frames) writer.addFrame(f.data(), 67);
    writer.finish();
  }
  // Each decoded frame stands for the run of identical frames that starts where it does.
  std::vector<std::size_t> firstOfRun;
  for (std::size_t i = 0; i < frames.size(); ++i)
    if (i == 0 || frames[i] != frames[i - 1]) firstOfRun.push_back(i);
  double errors = 0, samples = 0, worst = 99;
  testing::playWebm(webm, [&](int index, const Frame& shown) {
    const Frame& source = frames[firstOfRun.at(static_cast<std::size_t>(index))];
    const double e = testing::squaredError(source, shown);
    worst = std::min(worst, testing::psnr(e, 3.0 * source.size()));
    errors += e;
    samples += 3.0 * source.size();
  });
  if (outDir) {
    const std::string base =
        std::string(outDir) + "/recording-" + std::to_string(width) + "x" + std::to_string(height);
    platform::systemFiles().replace(base + ".webm", webm);
    platform::systemFiles().replace(base + ".gif", gif);
  }
  // The first picture, all of it intra-coded, against the same in GIF.
  platform::Bytes webmFirst, gifFirst;
  {
    imaging::WebmWriter writer(width, height, imaging::WebmWriter::appendTo(webmFirst));
    writer.addFrame(frames[0].data(), 67);
    writer.finish();
    imaging::GifAnimationWriter gifWriter(width, height, imaging::GifAnimationWriter::appendTo(gifFirst));
    gifWriter.addFrame(frames[0].data(), 67);
    gifWriter.finish();
  }
  double firstPsnr = 0;
  testing::playWebm(webmFirst, [&](int, const Frame& shown) {
    firstPsnr = testing::psnr(testing::squaredError(frames[0], shown), 3.0 * frames[0].size());
  });
  std::printf("%4dx%-4d %zu frames (%zu distinct): webm %8zu bytes, gif %9zu bytes (%.3fx), PSNR %.2f dB "
              "(worst frame %.2f), %.2f ms per distinct frame\n",
              width, height, frames.size(), firstOfRun.size(), webm.size(), gif.size(),
              static_cast<double>(webm.size()) / gif.size(), testing::psnr(errors, samples), worst,
              ms / firstOfRun.size());
  std::printf(
      "          first frame alone: webm %8zu bytes (%.2f dB), gif %9zu bytes (%.3fx); the rest %.3fx\n",
      webmFirst.size(), firstPsnr, gifFirst.size(), static_cast<double>(webmFirst.size()) / gifFirst.size(),
      static_cast<double>(webm.size() - webmFirst.size()) / (gif.size() - gifFirst.size()));
}

} // namespace

// With a folder as argument, the recordings are left there to look at.
int main(int argc, char** argv) {
  const char* outDir = argc > 1 ? argv[1] : nullptr;
  measure(1280, 720, outDir);
  measure(1920, 1080, outDir);
}
