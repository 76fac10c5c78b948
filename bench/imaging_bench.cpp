// Imaging speed on generated 1080p and 2160p captures, screen-like and photo-like,
// next to the peers the encoders answer to: libjpeg-turbo called directly with the
// same settings, giflib's LZW (EGifPutLine) on the same palette indices, and
// libpng and spng at their defaults for the PNG writer.
#include "bench_images.h"
#include "imaging/bmp_writer.h"
#include "imaging/colour_reduction.h"
#include "imaging/crop_files.h"
#include "imaging/gif_encoder.h"
#include "imaging/jpeg_encoder.h"
#include "imaging/lzw_encoder.h"
#include "imaging/png_image.h"
#include "peak_memory.h"
#include "platform/files.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <gif_lib.h>
#include <jpeglib.h>
#include <malloc.h>
#include <map>
#include <new>
#include <png.h>
#include <spng.h>

// Every allocation is counted by its usable size, so frees subtract exactly. The
// calls go through pointers so that GCC does not take malloc/free for a mismatch
// with new/delete at the places where they are inlined.
static void* (*volatile allocate)(std::size_t) = std::malloc;
static void (*volatile release)(void*) = std::free;

void* operator new(std::size_t size) {
  void* p = allocate(size ? size : 1);
  if (!p) throw std::bad_alloc();
  const std::size_t now = glimor::bench::memory::current += malloc_usable_size(p);
  std::size_t seen = glimor::bench::memory::peak.load();
  while (now > seen && !glimor::bench::memory::peak.compare_exchange_weak(seen, now)) {
  }
  return p;
}
void operator delete(void* p) noexcept {
  if (!p) return;
  glimor::bench::memory::current -= malloc_usable_size(p);
  release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}

namespace glimor::bench {

enum Kind { screen = 0, photo = 1 };
// 1080p and 4K, then small crops (a piece of a dialog, a window) for the PNG writer.
const int widths[] = {1920, 3840, 211, 640}, heights[] = {1080, 2160, 97, 480};

namespace {

using namespace imaging;

struct Inputs {
  Bitmap crop32, bgr24, indexed;
  std::size_t colours = 0;
};

const Inputs& inputs(const benchmark::State& state) {
  static std::map<std::pair<int, int>, Inputs> cache;
  const auto key = std::make_pair(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  Inputs in;
  const int w = widths[key.second], h = heights[key.second];
  in.crop32 = key.first == screen ? screenLike(w, h) : photoLike(w, h);
  in.bgr24 = toBgr24(in.crop32);
  in.indexed = reduceColours(in.bgr24);
  std::vector<std::uint32_t> colours;
  colours.reserve(in.crop32.pixels.size() / 4);
  for (std::size_t i = 0; i + 3 <= in.crop32.pixels.size(); i += 4)
    colours.push_back(in.crop32.pixels[i] | in.crop32.pixels[i + 1] << 8 | in.crop32.pixels[i + 2] << 16);
  std::sort(colours.begin(), colours.end());
  in.colours = static_cast<std::size_t>(std::unique(colours.begin(), colours.end()) - colours.begin());
  return cache.emplace(key, std::move(in)).first->second;
}

void label(benchmark::State& state, const Inputs& in) {
  state.SetLabel(std::string(state.range(0) == screen ? "screen " : "photo ") +
                 std::to_string(in.crop32.width) + "x" + std::to_string(in.crop32.height) + ", " +
                 std::to_string(in.colours) + " colours");
}

void BM_Bmp(benchmark::State& state) {
  const Inputs& in = inputs(state);
  for (auto _ : state) benchmark::DoNotOptimize(encodeBmp(in.crop32));
  label(state, in);
}

void BM_ToBgr24(benchmark::State& state) {
  const Inputs& in = inputs(state);
  for (auto _ : state) benchmark::DoNotOptimize(toBgr24(in.crop32));
  label(state, in);
}

void BM_Jpeg(benchmark::State& state) {
  const Inputs& in = inputs(state);
  std::size_t size = 0;
  for (auto _ : state) size = compressJpeg(in.bgr24, 100).size();
  state.counters["bytes"] = static_cast<double>(size);
  label(state, in);
}

// libjpeg-turbo on its own: its memory destination, the same parameters and rows.
void BM_JpegLibjpegDirect(benchmark::State& state) {
  const Inputs& in = inputs(state);
  const Bitmap& image = in.bgr24;
  for (auto _ : state) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(image.width);
    cinfo.image_height = static_cast<JDIMENSION>(image.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    cinfo.dct_method = JDCT_FLOAT;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
      JSAMPROW row = const_cast<JSAMPROW>(image.pixels.data() +
                                          image.stride() * (image.height - 1 - cinfo.next_scanline));
      jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    benchmark::DoNotOptimize(size);
    std::free(buffer);
  }
  label(state, in);
}

void BM_GifReduction(benchmark::State& state) {
  const Inputs& in = inputs(state);
  for (auto _ : state) benchmark::DoNotOptimize(reduceColours(in.bgr24));
  label(state, in);
}

void BM_GifLzw(benchmark::State& state) {
  const Inputs& in = inputs(state);
  std::vector<std::uint8_t> out;
  for (auto _ : state) {
    out.clear();
    encodeLzw(in.indexed, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes"] = static_cast<double>(out.size());
  label(state, in);
}

int appendToVector(GifFileType* gif, const GifByteType* bytes, int count) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
  out->insert(out->end(), bytes, bytes + count);
  return count;
}

// giflib's encoder on the same indices: EGifPutLine does its LZW.
void BM_GifLzwGiflib(benchmark::State& state) {
  const Inputs& in = inputs(state);
  const Bitmap& image = in.indexed;
  std::vector<std::uint8_t> out;
  std::vector<GifColorType> colours(256);
  for (int i = 0; i < 256; ++i)
    colours[i] = {static_cast<GifByteType>(image.palette[i] >> 16),
                  static_cast<GifByteType>(image.palette[i] >> 8),
                  static_cast<GifByteType>(image.palette[i])};
  for (auto _ : state) {
    out.clear();
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendToVector, &error);
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    EGifPutScreenDesc(gif, image.width, image.height, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, image.width, image.height, false, nullptr);
    for (int y = image.height - 1; y >= 0; --y)
      EGifPutLine(
          gif, const_cast<GifPixelType*>(image.pixels.data() + image.stride() * static_cast<std::size_t>(y)),
          image.width);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes"] = static_cast<double>(out.size());
  label(state, in);
}

void BM_GifWhole(benchmark::State& state) {
  const Inputs& in = inputs(state);
  GifEncoder gif;
  gif.assign(std::shared_ptr<const Bitmap>(std::shared_ptr<void>(), &in.bgr24));
  for (auto _ : state) benchmark::DoNotOptimize(gif.bytes());
  label(state, in);
}

void BM_Png(benchmark::State& state) {
  const Inputs& in = inputs(state);
  std::size_t size = 0;
  for (auto _ : state) size = encodePng(in.crop32).size();
  state.counters["bytes"] = static_cast<double>(size);
  label(state, in);
}

// The writer at each fixed libdeflate level, for the curve of time against bytes
// (BM_Png has the level chosen per piece, as encodePng does by default).
void BM_PngLevel(benchmark::State& state) {
  const Inputs& in = inputs(state);
  const int level = static_cast<int>(state.range(2));
  std::size_t size = 0;
  for (auto _ : state) size = encodePng(in.crop32, level).size();
  state.counters["bytes"] = static_cast<double>(size);
  label(state, in);
}

void appendPng(png_structp png, png_bytep bytes, png_size_t count) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), bytes, bytes + count);
}

// libpng at its defaults (zlib level 6, adaptive filters, 8-bit RGB), reading the
// 32-bit rows in place through its BGR and filler transforms.
void BM_PngLibpng(benchmark::State& state) {
  const Inputs& in = inputs(state);
  const Bitmap& image = in.crop32;
  std::vector<std::uint8_t> out;
  for (auto _ : state) {
    out.clear();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendPng, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    png_set_filler(png, 0, PNG_FILLER_AFTER);
    for (int y = image.height - 1; y >= 0; --y)
      png_write_row(png, image.pixels.data() + image.stride() * static_cast<std::size_t>(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes"] = static_cast<double>(out.size());
  label(state, in);
}

// spng at its defaults (zlib level 6, all filters); it takes rows in PNG's own
// order, so they are converted to top-down RGB once, outside the timing.
void BM_PngSpng(benchmark::State& state) {
  const Inputs& in = inputs(state);
  const Bitmap& image = in.crop32;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(image.width) * 3 *
                                static_cast<std::size_t>(image.height));
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* from =
        image.pixels.data() + image.stride() * static_cast<std::size_t>(image.height - 1 - y);
    std::uint8_t* to = rgb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) * 3;
    for (int x = 0; x < image.width; ++x, from += 4, to += 3)
      to[0] = from[2], to[1] = from[1], to[2] = from[0];
  }
  std::size_t size = 0;
  for (auto _ : state) {
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr header{};
    header.width = static_cast<std::uint32_t>(image.width);
    header.height = static_cast<std::uint32_t>(image.height);
    header.bit_depth = 8;
    header.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
    spng_set_ihdr(ctx, &header);
    if (spng_encode_image(ctx, rgb.data(), rgb.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != 0)
      state.SkipWithError("spng failed");
    int error = 0;
    void* png = spng_get_png_buffer(ctx, &size, &error);
    benchmark::DoNotOptimize(png);
    std::free(png);
    spng_ctx_free(ctx);
  }
  state.counters["bytes"] = static_cast<double>(size);
  label(state, in);
}

// The whole confirm: four files written to disk, with the peak of memory in use
// beyond the crop itself, also as a share of the crop's 32-bit size.
void BM_Confirm(benchmark::State& state) {
  const Inputs& in = inputs(state);
  const auto folder = std::filesystem::temp_directory_path() / "glimor-bench";
  std::filesystem::create_directories(folder);
  const CropFileNames names{(folder / "Glimor.bmp").string(), (folder / "Glimor.jpg").string(),
                            (folder / "Glimor.gif").string(), (folder / "Glimor.png").string()};
  double peak = 0;
  for (auto _ : state) {
    const std::size_t before = memory::inUse();
    memory::resetPeak();
    writeCropFiles(in.crop32, names, platform::systemFiles());
    peak = static_cast<double>(memory::peakInUse() - before);
  }
  state.counters["peak_MB"] = peak / 1e6;
  state.counters["peak_per_crop32"] = peak / static_cast<double>(in.crop32.pixels.size());
  std::filesystem::remove_all(folder);
  label(state, in);
}

// The confirm without the file system: what the encoders themselves cost.
class DiscardingFiles final : public platform::Files {
public:
  void replace(const std::string&, std::span<const std::uint8_t> bytes) override {
    benchmark::DoNotOptimize(bytes.data());
  }
  std::optional<platform::Bytes> read(const std::string&) override { return std::nullopt; }
  bool exists(const std::string&) override { return false; }
  bool remove(const std::string&) override { return false; }
};

// CPU time of every thread of the process, in ms.
double processCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The four files against the same confirm without its PNG, taken in turns (which
// one first alternates), so that both see the same load of a shared machine. The
// ratios four_per_three (wall time) and cpu_four_per_three (CPU time of all
// threads, which a loaded machine disturbs far less) are what the PNG adds.
void BM_ConfirmInMemory(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const Inputs& in = inputs(state);
  DiscardingFiles files;
  const CropFileNames three{"a.bmp", "a.jpg", "a.gif", ""}, four{"a.bmp", "a.jpg", "a.gif", "a.png"};
  double wall[2] = {}, cpu[2] = {}; // without, with the PNG
  bool pngFirst = false;
  for (auto _ : state) {
    for (const bool png : {pngFirst, !pngFirst}) {
      const auto start = Clock::now();
      const double startCpu = processCpuMs();
      writeCropFiles(in.crop32, png ? four : three, files);
      cpu[png] += processCpuMs() - startCpu;
      wall[png] += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    pngFirst = !pngFirst;
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["three_ms"] = wall[0] / n;
  state.counters["four_ms"] = wall[1] / n;
  state.counters["four_per_three"] = wall[1] / wall[0];
  state.counters["three_cpu_ms"] = cpu[0] / n;
  state.counters["four_cpu_ms"] = cpu[1] / n;
  state.counters["cpu_four_per_three"] = cpu[1] / cpu[0];
  label(state, in);
}

void sizes(benchmark::internal::Benchmark* b) {
  for (int size : {0, 1})
    for (int kind : {screen, photo}) b->Args({kind, size});
  b->Unit(benchmark::kMillisecond)->MinTime(0.5);
}

// Small crops, which the PNG writer makes as small as it can rather than fast.
void smallSizes(benchmark::internal::Benchmark* b) {
  for (int size : {2, 3})
    for (int kind : {screen, photo}) b->Args({kind, size});
  b->Unit(benchmark::kMillisecond)->MinTime(0.5);
}

BENCHMARK(BM_Bmp)->Apply(sizes);
BENCHMARK(BM_ToBgr24)->Apply(sizes);
BENCHMARK(BM_Jpeg)->Apply(sizes);
BENCHMARK(BM_JpegLibjpegDirect)->Apply(sizes);
BENCHMARK(BM_GifReduction)->Apply(sizes);
BENCHMARK(BM_GifLzw)->Apply(sizes);
BENCHMARK(BM_GifLzwGiflib)->Apply(sizes);
BENCHMARK(BM_GifWhole)->Apply(sizes);
// Two threads: wall time counts, and the CPU time is that of both.
BENCHMARK(BM_Png)->Apply(sizes)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_PngLevel)
    ->ArgsProduct({{screen, photo}, {0}, {1, 2, 3, 4, 5, 6, 9}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_PngLibpng)->Apply(sizes);
BENCHMARK(BM_Png)->Apply(smallSizes)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_PngLibpng)->Apply(smallSizes);
BENCHMARK(BM_PngSpng)->Apply(sizes);
BENCHMARK(BM_Confirm)->Apply(sizes)->UseRealTime(); // two threads: wall time counts
// Ten rounds of both, whatever they take: a loaded machine makes single ones meaningless.
BENCHMARK(BM_ConfirmInMemory)
    ->ArgsProduct({{screen, photo}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

} // namespace
} // namespace glimor::bench

// --write-images=DIR writes the four generated captures as 32-bit BMP files, for
// the peers that run as programs (bench/imaging_peers.sh).
int main(int argc, char** argv) {
  const std::string flag = "--write-images=";
  if (argc == 2 && std::string(argv[1]).rfind(flag, 0) == 0) {
    const std::string folder = std::string(argv[1]).substr(flag.size());
    for (int size : {0, 1})
      for (const char* kind : {"screen", "photo"}) {
        const int w = glimor::bench::widths[size], h = glimor::bench::heights[size];
        const auto crop = kind[0] == 's' ? glimor::bench::screenLike(w, h) : glimor::bench::photoLike(w, h);
        glimor::platform::systemFiles().replace(folder + "/" + kind + "-" + std::to_string(h) + ".bmp",
                                                glimor::imaging::encodeBmp(crop));
      }
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
