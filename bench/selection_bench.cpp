// The selection window's whole-screen work: one fade step (every byte of the
// picture, row by row) and one rubber-band redraw (restore from the snapshot,
// draw the band), at common screen sizes; and one frame of drawing a mark on a
// 4K capture; and the confirm of a 4K selection with and without marks.
#include "bench_images.h"
#include "capture/imaging_crop_output.h"
#include "capture/marks/render.h"
#include "capture/picture_ops.h"
#include "platform/files.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

using glimor::screen::Picture;

void fadeStep(benchmark::State& state) {
  Picture picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 0x808080);
  for (auto _ : state) {
    glimor::capture::adjustBrightness(picture, -21);
    benchmark::DoNotOptimize(picture.pixels.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(picture.pixels.size()) * 4);
}
BENCHMARK(fadeStep)->Args({1024, 768})->Args({1920, 1080})->Args({2560, 1440});

void rubberBandRedraw(benchmark::State& state) {
  Picture snapshot(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 0x808080);
  Picture picture = snapshot;
  int x = 0;
  for (auto _ : state) {
    picture = snapshot;
    glimor::capture::drawRubberBand(picture, 10, 10, 200 + (x++ % 500), 300);
    benchmark::DoNotOptimize(picture.pixels.data());
  }
}
BENCHMARK(rubberBandRedraw)->Args({1920, 1080});

namespace marks = glimor::capture::marks;

// One frame while the mouse moves: what the previous frame drew is restored from the clean
// capture (its damage only), then the mark in progress, its last point one pixel on, is drawn again.
void drawingFrame(benchmark::State& state, marks::Mark mark) {
  Picture clean(3840, 2160);
  for (int y = 0; y < clean.height; ++y)
    for (int x = 0; x < clean.width; ++x)
      clean.at(x, y) = static_cast<std::uint32_t>(x * 0x010203 + y * 0x030201);
  Picture picture = clean;
  const glimor::screen::Rect selection{0, 0, clean.width, clean.height};
  marks::Damage damage;
  int frame = 0;
  for (auto _ : state) {
    for (const auto& rect : damage.rects()) glimor::capture::copyRect(clean, picture, rect);
    damage.clear();
    mark.points.back().x += frame++ % 2 ? 1 : -1;
    marks::render(picture, selection, mark, damage);
    benchmark::DoNotOptimize(picture.pixels.data());
  }
}

marks::Mark markOf(marks::Tool tool, std::vector<marks::Point> points, int size) {
  marks::Mark mark;
  mark.tool = tool;
  mark.colour = 0xE01020;
  mark.size = size;
  mark.points = std::move(points);
  return mark;
}

// A marker's wavy stroke of 200 points from one side of the screen to the other.
std::vector<marks::Point> wavyPath() {
  std::vector<marks::Point> path;
  for (int i = 0; i < 200; ++i)
    path.push_back({100 + i * 18, 1080 + static_cast<int>(std::lround(800 * std::sin(i * 0.1)))});
  return path;
}

BENCHMARK_CAPTURE(drawingFrame, arrow_diagonal_width6,
                  markOf(marks::Tool::Arrow, {{100, 100}, {3700, 2050}}, 6))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(drawingFrame, highlighter_200points_width20,
                  markOf(marks::Tool::Highlighter, wavyPath(), 20))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(drawingFrame, redact_2000x1200, markOf(marks::Tool::Redact, {{900, 500}, {2900, 1700}}, 1))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(drawingFrame, pixelate_2000x1200,
                  markOf(marks::Tool::Pixelate, {{900, 500}, {2900, 1700}}, 1))
    ->Unit(benchmark::kMillisecond);

// The confirm of a 4K selection (the crop and its four files on disk), and ten marks drawn into
// the same 4K picture from the clean capture. The window draws marks as they are made, so a confirm
// burns nothing more; drawing all ten again, as an undo does, is what burning could add to it.
Picture screen4K() {
  const glimor::imaging::Bitmap screen = glimor::bench::screenLike(3840, 2160);
  Picture clean(screen.width, screen.height);
  for (int y = 0; y < clean.height; ++y) {
    const std::uint8_t* in =
        screen.pixels.data() + screen.stride() * static_cast<std::size_t>(screen.height - 1 - y);
    std::memcpy(clean.row(y), in, static_cast<std::size_t>(clean.width) * 4);
  }
  return clean;
}

// The four crop files in a folder of their own, removed with it.
struct CropFolder {
  explicit CropFolder(const char* name) : folder(std::filesystem::temp_directory_path() / name) {
    std::filesystem::create_directories(folder);
  }
  ~CropFolder() { std::filesystem::remove_all(folder); }
  std::filesystem::path folder;
  glimor::capture::CropFileNames names{"", (folder / "Glimor.jpg").string(), (folder / "Glimor.bmp").string(),
                                       (folder / "Glimor.gif").string(), (folder / "Glimor.png").string()};
};

void confirm4K(benchmark::State& state) {
  const Picture picture = screen4K();
  const CropFolder files("glimor-bench-confirm");
  const auto& names = files.names;
  const glimor::screen::DisplayFormat display;
  glimor::capture::ImagingCropOutput output(glimor::platform::systemFiles());
  for (auto _ : state) {
    state.PauseTiming();
    Picture shown = picture; // the window's picture, which the output takes
    state.ResumeTiming();
    output.writeCropFiles(shown, {0, 0, picture.width, picture.height}, display, names, "");
  }
}
BENCHMARK(confirm4K)->Unit(benchmark::kMillisecond)->Iterations(5);

// The confirm as the upload waits for it: the upload's own file (JPEG, the default), read from the
// window's picture in place; the other three are written afterwards, outside the time.
void confirm4KUploadFileFirst(benchmark::State& state) {
  const Picture picture = screen4K();
  const CropFolder files("glimor-bench-confirm-first");
  const auto& names = files.names;
  const glimor::screen::DisplayFormat display;
  for (auto _ : state) {
    state.PauseTiming();
    Picture shown = picture;
    state.ResumeTiming();
    auto output = std::make_unique<glimor::capture::ImagingCropOutput>(glimor::platform::systemFiles());
    output->writeCropFiles(shown, {0, 0, picture.width, picture.height}, display, names, names.jpg);
    state.PauseTiming();
    output.reset(); // the other files
    state.ResumeTiming();
  }
}
BENCHMARK(confirm4KUploadFileFirst)->Unit(benchmark::kMillisecond)->Iterations(5);

void tenMarks4K(benchmark::State& state) {
  const Picture clean = screen4K();
  std::vector<marks::Mark> ten;
  const marks::Tool tools[] = {marks::Tool::Rectangle, marks::Tool::Arrow, marks::Tool::Redact,
                               marks::Tool::Pixelate, marks::Tool::Highlighter};
  for (int i = 0; i < 10; ++i) {
    const int x = 200 + i * 340, y = 200 + i * 170;
    ten.push_back(markOf(tools[i % 5], {{x, y}, {x + 600, y + 300}}, 6));
  }
  const glimor::screen::Rect selection{0, 0, clean.width, clean.height};
  Picture picture = clean;
  for (auto _ : state) {
    state.PauseTiming();
    picture = clean;
    state.ResumeTiming();
    marks::Damage damage;
    for (const marks::Mark& mark : ten) marks::render(picture, selection, mark, damage);
    benchmark::DoNotOptimize(picture.pixels.data());
  }
}
BENCHMARK(tenMarks4K)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
