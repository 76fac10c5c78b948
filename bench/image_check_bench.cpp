// What an upload's check costs with the thumbnail made from its decode, next to
// the check alone: 1080p and 4K captures, screen-like and photo-like, as Glimor
// uploads them (PNG, JPEG at quality 100, 24-bit BMP); and the check of 30 s
// recordings of a 1080p screen at 15 frames a second in VP9, made by ffmpeg.
#include "bench_images.h"
#include "image_check.h"
#include "imaging/bmp_writer.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/png_image.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <tuple>

namespace glimor::bench {
namespace {

const int widths[] = {1920, 3840}, heights[] = {1080, 2160};
const char* const extensions[] = {"png", "jpg", "bmp"};

// One file a (format, size, kind), made once.
const std::string& file(int format, int size, int kind) {
  static std::map<std::tuple<int, int, int>, std::string> files;
  auto& bytes = files[{format, size, kind}];
  if (bytes.empty()) {
    Bitmap picture =
        kind == 0 ? screenLike(widths[size], heights[size]) : photoLike(widths[size], heights[size]);
    Bitmap bgr = imaging::toBgr24(picture);
    platform::Bytes encoded = format == 0   ? imaging::encodePng(bgr)
                              : format == 1 ? imaging::compressJpeg(bgr, 100)
                                            : imaging::encodeBmp(bgr);
    bytes.assign(encoded.begin(), encoded.end());
  }
  return bytes;
}

// Arguments: format (png, jpg, bmp), size (1080p, 4K), kind (screen, photo), thumbnail (0, 1).
void Check(benchmark::State& state) {
  const int format = int(state.range(0)), size = int(state.range(1)), kind = int(state.range(2));
  const bool withThumbnail = state.range(3) != 0;
  const std::string& bytes = file(format, size, kind);
  const auto type = *server::imageTypeByExtension(extensions[format]);
  for (auto _ : state) {
    server::ThumbnailMaker thumbnail;
    bool complete = server::isCompleteImage(bytes, type, 100'000'000, withThumbnail ? &thumbnail : nullptr);
    std::string jpeg = thumbnail.jpeg();
    benchmark::DoNotOptimize(complete);
    benchmark::DoNotOptimize(jpeg);
  }
  state.SetLabel(std::string(extensions[format]) + (size ? " 4K " : " 1080p ") + (kind ? "photo" : "screen") +
                 (withThumbnail ? " + thumbnail" : ""));
}
BENCHMARK(Check)->ArgsProduct({{0, 1, 2}, {0, 1}, {0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

// A still desktop with a small moving window, and a picture changing everywhere.
const char* const recordingSources[] = {
    "smptehdbars=s=1920x1080:r=15:d=30[bg];testsrc=s=320x240:r=15:d=30[fg];[bg][fg]overlay=100:100",
    "testsrc=s=1920x1080:r=15:d=30"};

const std::string& recording(int kind) {
  static std::map<int, std::string> files;
  auto& bytes = files[kind];
  if (bytes.empty()) {
    const std::string command = std::string("ffmpeg -v error -filter_complex '") + recordingSources[kind] +
                                "' -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 2M -f webm -";
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[1 << 16];
    for (std::size_t got; pipe && (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      bytes.append(buffer, got);
    if (pipe) pclose(pipe);
  }
  return bytes;
}

// Arguments: kind (screen, full motion).
void CheckRecording(benchmark::State& state) {
  const std::string& bytes = recording(int(state.range(0)));
  const auto type = *server::imageTypeByExtension("webm");
  for (auto _ : state) {
    server::ThumbnailMaker thumbnail;
    bool complete = server::isCompleteImage(bytes, type, 100'000'000, &thumbnail);
    benchmark::DoNotOptimize(complete);
  }
  state.SetLabel(std::string(state.range(0) ? "full motion" : "screen") + " 30 s 1080p VP9, " +
                 std::to_string(bytes.size() / 1024) + " KiB");
}
BENCHMARK(CheckRecording)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace glimor::bench

BENCHMARK_MAIN();
