// The animated GIF and WebM writers on a recorded screen sequence (raw frames of 0x00RRGGBB
// words, as bench/recording_frames.sh writes them), and the quality of any GIF or WebM of it.
//   recording_bench encode FRAMES WIDTH HEIGHT FPS OUT.gif
//     streams the frames into GifAnimationWriter at the frame rate's delays; prints the
//     writer's own time (ms, without reading the frames) and the GIF's bytes.
//   recording_bench psnr FRAMES WIDTH HEIGHT FPS GIF
//     plays the GIF back with giflib and prints the PSNR (dB, over every colour channel of
//     every frame) of what it shows at each frame's time against the frame itself.
//   recording_bench webm FRAMES WIDTH HEIGHT FPS OUT.webm
//     the same through WebmWriter; also prints the median, 95th percentile and largest wall
//     time, and the median and 95th percentile CPU time, of the calls that encode a frame
//     (the one that brings a change, and finish()).
//   recording_bench webm-psnr FRAMES WIDTH HEIGHT FPS WEBM
//     plays any VP9 WebM back with libwebm's parser and libvpx (as limited-range BT.709)
//     and measures it as psnr does the GIF.
#include "imaging/gif_animation.h"
#include "imaging/webm_writer.h"
#include "support/webm_playback.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <gif_lib.h>
#include <iterator>
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

// The delay that makes frame `i` end at its exact time.
int delayOf(long i, int fps) {
  return static_cast<int>(std::lround((i + 1) * 1000.0 / fps) - std::lround(i * 1000.0 / fps));
}

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
    const auto start = std::chrono::steady_clock::now();
    writer.addFrame(frame.data(), delayOf(i, frames.fps));
    spent += std::chrono::steady_clock::now() - start;
  }
  const auto start = std::chrono::steady_clock::now();
  writer.finish();
  spent += std::chrono::steady_clock::now() - start;
  std::fclose(out);
  std::printf("writer_ms %.1f\nbytes %zu\n", std::chrono::duration<double, std::milli>(spent).count(), bytes);
  return 0;
}

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(std::lround(p * static_cast<double>(values.size() - 1)))];
}

// Wall and CPU (all of the process's threads) milliseconds of one call: on a shared
// machine the CPU time shows the encoder's own cost when the wall time is stretched.
struct Timed {
  double wallMs = 0, cpuMs = 0;
  template <class F> static Timed of(F&& f) {
    timespec cpu0{}, cpu1{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu0);
    const auto wall0 = std::chrono::steady_clock::now();
    f();
    const auto wall1 = std::chrono::steady_clock::now();
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu1);
    return {std::chrono::duration<double, std::milli>(wall1 - wall0).count(),
            (cpu1.tv_sec - cpu0.tv_sec) * 1e3 + (cpu1.tv_nsec - cpu0.tv_nsec) / 1e6};
  }
};

int encodeWebm(Sequence& frames, const char* outPath) {
  glimor::platform::Bytes file;
  glimor::imaging::WebmWriter writer(frames.width, frames.height,
                                     glimor::imaging::WebmWriter::appendTo(file));
  std::vector<double> wall, cpu; // of each call that encodes a frame
  double spent = 0;
  Frame frame, previous;
  long count = 0;
  for (; frames.next(frame); ++count) {
    // The writer encodes the frame it holds when a different one comes.
    const bool changed = count > 0 && frame != previous;
    const Timed t = Timed::of([&] { writer.addFrame(frame.data(), delayOf(count, frames.fps)); });
    spent += t.wallMs;
    if (changed) wall.push_back(t.wallMs), cpu.push_back(t.cpuMs);
    previous.swap(frame);
  }
  const Timed t = Timed::of([&] { writer.finish(); });
  spent += t.wallMs;
  wall.push_back(t.wallMs), cpu.push_back(t.cpuMs);
  std::FILE* out = std::fopen(outPath, "wb");
  if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0)
    return std::perror(outPath), 1;
  std::printf("writer_ms %.1f\nbytes %zu\nencoded %zu\nframe_ms_median %.2f\nframe_ms_p95 %.2f\n"
              "frame_cpu_ms_median %.2f\nframe_cpu_ms_p95 %.2f\nframe_ms_max %.2f\n",
              spent, file.size(), wall.size(), percentile(wall, 0.5), percentile(wall, 0.95),
              percentile(cpu, 0.5), percentile(cpu, 0.95), percentile(wall, 1));
  return 0;
}

int psnrWebm(Sequence& frames, const char* webmPath) {
  std::ifstream in(webmPath, std::ios::binary);
  const glimor::platform::Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  try {
    // The first pass reads when each picture starts, the second compares the source
    // frames against the picture shown halfway through each frame's time.
    const glimor::testing::WebmPlayback timing = glimor::testing::playWebm(file);
    if (timing.width != frames.width || timing.height != frames.height) {
      std::fprintf(stderr, "%s: size %dx%d\n", webmPath, timing.width, timing.height);
      return 1;
    }
    double squares = 0, samples = 0;
    long next = 0;
    Frame frame;
    const auto& starts = timing.startsMs;
    glimor::testing::playWebm(file, [&](int index, const Frame& shown) {
      const std::size_t k = static_cast<std::size_t>(index);
      const bool last = k + 1 == starts.size();
      for (;;) {
        const double at = (static_cast<double>(next) + 0.5) * 1000.0 / frames.fps;
        if (!last && at >= static_cast<double>(starts[k + 1])) break;
        if (!frames.next(frame)) break;
        ++next;
        squares += glimor::testing::squaredError(frame, shown);
        samples += 3.0 * static_cast<double>(frame.size());
      }
    });
    std::printf("psnr %.3f\nimages %zu\nframes %ld\n", glimor::testing::psnr(squares, samples), starts.size(),
                next);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", webmPath, e.what());
    return 1;
  }
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
    std::fprintf(stderr, "usage: %s encode|psnr|webm|webm-psnr FRAMES WIDTH HEIGHT FPS FILE\n", argv[0]);
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
  if (mode == "webm") return encodeWebm(frames, argv[6]);
  if (mode == "webm-psnr") return psnrWebm(frames, argv[6]);
  std::fprintf(stderr, "unknown mode %s\n", argv[1]);
  return 2;
}
