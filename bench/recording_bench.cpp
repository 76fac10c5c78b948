// The animated GIF writer on a recorded screen sequence (raw frames of 0x00RRGGBB words, as
// bench/recording_frames.sh writes them), and the quality of any GIF of that sequence.
//   recording_bench encode FRAMES WIDTH HEIGHT FPS OUT.gif
//     streams the frames into GifAnimationWriter at the frame rate's delays; prints the
//     writer's own time (ms, without reading the frames) and the GIF's bytes.
//   recording_bench psnr FRAMES WIDTH HEIGHT FPS GIF
//     plays the GIF back with giflib and prints the PSNR (dB, over every colour channel of
//     every frame) of what it shows at each frame's time against the frame itself.
#include "imaging/gif_animation.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gif_lib.h>
#include <string>
#include <vector>

namespace {

using Frame = std::vector<std::uint32_t>;

struct Sequence {
  std::ifstream in;
  int width, height, fps;
  bool next(Frame& frame) {
    frame.resize(static_cast<std::size_t>(width) * height);
    return static_cast<bool>(
        in.read(reinterpret_cast<char*>(frame.data()), static_cast<std::streamsize>(frame.size() * 4)));
  }
};

int encode(Sequence& frames, const char* outPath) {
  std::FILE* out = std::fopen(outPath, "wb");
  if (!out) return std::perror(outPath), 1;
  std::size_t bytes = 0;
  std::chrono::steady_clock::duration spent{};
  glimor::imaging::GifAnimationWriter writer(frames.width, frames.height,
                                             [&](std::span<const std::uint8_t> data) {
                                               std::fwrite(data.data(), 1, data.size(), out);
                                               bytes += data.size();
                                             });
  Frame frame;
  for (long i = 0; frames.next(frame); ++i) {
    // Delays that add up to the exact time of each frame's end.
    const int delay =
        static_cast<int>(std::lround((i + 1) * 1000.0 / frames.fps) - std::lround(i * 1000.0 / frames.fps));
    const auto start = std::chrono::steady_clock::now();
    writer.addFrame(frame.data(), delay);
    spent += std::chrono::steady_clock::now() - start;
  }
  const auto start = std::chrono::steady_clock::now();
  writer.finish();
  spent += std::chrono::steady_clock::now() - start;
  std::fclose(out);
  std::printf("writer_ms %.1f\nbytes %zu\n", std::chrono::duration<double, std::milli>(spent).count(), bytes);
  return 0;
}

int psnr(Sequence& frames, const char* gifPath) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(gifPath, &error);
  if (!gif || DGifSlurp(gif) != GIF_OK) {
    std::fprintf(stderr, "%s: %s\n", gifPath, GifErrorString(gif ? gif->Error : error));
    return 1;
  }
  if (gif->SWidth != frames.width || gif->SHeight != frames.height) {
    std::fprintf(stderr, "%s: size %dx%d\n", gifPath, gif->SWidth, gif->SHeight);
    return 1;
  }
  // Canvases as a viewer shows them, with the time (centiseconds) at which each ends.
  std::vector<Frame> canvases;
  std::vector<long> ends;
  Frame canvas(static_cast<std::size_t>(frames.width) * frames.height, 0), saved;
  long time = 0;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    GraphicsControlBlock control{};
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(gif, i, &control);
    const GifImageDesc& d = image.ImageDesc;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    if (control.DisposalMode == DISPOSE_PREVIOUS) saved = canvas;
    for (int y = 0; y < d.Height; ++y)
      for (int x = 0; x < d.Width; ++x) {
        const int index = image.RasterBits[y * d.Width + x];
        if (index == control.TransparentColor || d.Top + y >= frames.height || d.Left + x >= frames.width)
          continue;
        const GifColorType c = map->Colors[index];
        canvas[static_cast<std::size_t>(d.Top + y) * frames.width + d.Left + x] =
            (std::uint32_t{c.Red} << 16) | (std::uint32_t{c.Green} << 8) | c.Blue;
      }
    canvases.push_back(canvas);
    ends.push_back(time += control.DelayTime);
    if (control.DisposalMode == DISPOSE_BACKGROUND)
      for (int y = 0; y < d.Height; ++y)
        for (int x = 0; x < d.Width; ++x)
          canvas[static_cast<std::size_t>(d.Top + y) * frames.width + d.Left + x] = 0;
    if (control.DisposalMode == DISPOSE_PREVIOUS) canvas = saved;
  }
  DGifCloseFile(gif, &error);

  double squares = 0;
  std::size_t samples = 0, shown = 0;
  Frame frame;
  for (long i = 0; frames.next(frame); ++i) {
    // What shows halfway through the frame's time, so that rounded delays do not matter.
    const double at = (i + 0.5) * 100.0 / frames.fps;
    while (shown + 1 < canvases.size() && ends[shown] <= at) ++shown;
    for (std::size_t p = 0; p < frame.size(); ++p)
      for (int shift = 0; shift <= 16; shift += 8) {
        const int d = static_cast<int>((frame[p] >> shift) & 0xFF) -
                      static_cast<int>((canvases[shown][p] >> shift) & 0xFF);
        squares += d * d;
      }
    samples += frame.size() * 3;
  }
  const double mse = squares / static_cast<double>(samples);
  std::printf("psnr %.3f\nimages %zu\n", mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse),
              canvases.size());
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: %s encode|psnr FRAMES WIDTH HEIGHT FPS GIF\n", argv[0]);
    return 2;
  }
  Sequence frames{std::ifstream(argv[2], std::ios::binary), std::atoi(argv[3]), std::atoi(argv[4]),
                  std::atoi(argv[5])};
  if (!frames.in || frames.width < 1 || frames.height < 1 || frames.fps < 1) {
    std::fprintf(stderr, "cannot read %s as %sx%s at %s fps\n", argv[2], argv[3], argv[4], argv[5]);
    return 2;
  }
  const std::string mode = argv[1];
  if (mode == "encode") return encode(frames, argv[6]);
  if (mode == "psnr") return psnr(frames, argv[6]);
  std::fprintf(stderr, "unknown mode %s\n", argv[1]);
  return 2;
}
