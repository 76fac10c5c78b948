// The selection window's whole-screen work: one fade step (every byte of the
// picture, row by row) and one rubber-band redraw (restore from the snapshot,
// draw the band), at common screen sizes.
#include "capture/picture_ops.h"

#include <benchmark/benchmark.h>

namespace {

using glimor::capture::Picture;

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

} // namespace

BENCHMARK_MAIN();
