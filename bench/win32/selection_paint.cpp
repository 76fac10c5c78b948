// One frame of the selection window while the mouse moves, timed under Wine on the real window:
// the core restores what the mark drew last, draws it again and the window repaints the bands it
// changed; the outline of the window under the pointer going from one window to another; and the
// magnifier following the pointer before a selection. Beside them, in the same run, the frame of the
// rubber band, which puts back the lines it drew last and draws them again (with the magnifier
// drawn again on it); and, as the peer every figure is a ratio to, the whole capture copied back and
// the whole screen repainted, which is what the rubber band's frame cost before. Prints the median and the
// 95th percentile per kind.
#include "capture/selection_window.h"
#include "win32/clipboard.h"
#include "win32/selection_window.h"
#include "win32/text_glyphs.h"

#include "timing.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace {

using glimor::bench::Figures;
using glimor::bench::nowMs;

using namespace glimor;

class NoMessages final : public platform::Messages {
public:
  void show(const std::string&) override {}
  bool askYesNo(const std::string&, const std::string&, Default) override { return true; }
  void beep() override {}
};

class MemoryProfile final : public platform::Profile {
public:
  const std::string& path() const override { return path_; }
  std::optional<std::string> read(const std::string&, const std::string&) override { return std::nullopt; }
  bool write(const std::string&, const std::string&, const std::string&) override { return true; }

private:
  std::string path_ = "memory";
};

capture::SelectionWindow* core = nullptr;
capture::CaptureState* shown = nullptr;
win32::SelectionWindow* window = nullptr;
std::map<std::string, Figures> results;
std::vector<std::string> order;

// Moves the mouse from `from` to `to` in `frames` steps with the button held, timing each move.
void timedDrag(const std::string& kind, POINT from, POINT to, int frames, std::function<void()> before) {
  before();
  core->onMouseDown(from.x, from.y);
  Figures& figures = results[kind];
  order.push_back(kind);
  for (int i = 1; i <= frames; ++i) {
    int x = from.x + (to.x - from.x) * i / frames, y = from.y + (to.y - from.y) * i / frames;
    // A wobble, so that a freehand path turns as a hand's does.
    if (kind.find("highlighter") != std::string::npos) y += (i % 7) * 9;
    double t0 = nowMs();
    core->onMouseMove(x, y);
    figures.samples.push_back(nowMs() - t0);
  }
  core->onMouseUp(to.x, to.y);
}

// Moves the mouse without a button over the windows, from one to the next each move: the outline
// is taken off one window and drawn around the next.
void timedHover(const std::string& kind, const std::vector<POINT>& points, int rounds) {
  Figures& figures = results[kind];
  order.push_back(kind);
  for (int r = 0; r < rounds; ++r)
    for (POINT at : points) {
      double t0 = nowMs();
      core->onMouseMove(at.x, at.y);
      figures.samples.push_back(nowMs() - t0);
    }
}

void CALLBACK run(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
  auto select = [&] {
    core->onKeyPress('s');
    core->onMouseDown(40, 40);
    core->onMouseUp(w - 40, h - 40);
  };
  auto tool = [&](char key) {
    return [=] {
      select();
      core->onKeyPress(key);
    };
  };
  // Before anything is selected: from a maximised window to a window of 1600x1000 above it and back,
  // and then along the diagonal in small steps, the magnifier following.
  timedHover("hover outline, full screen <-> 1600x1000", {{w / 4, h / 4}, {w - 900, h - 600}}, 60);
  std::vector<POINT> diagonal;
  for (int i = 1; i <= 120; ++i) diagonal.push_back({40 + (w - 80) * i / 120, 40 + (h - 80) * i / 120});
  timedHover("magnifier, pointer moving", diagonal, 1);
  {
    Figures& whole = results["whole screen copied and repainted"];
    order.push_back("whole screen copied and repainted");
    for (int i = 0; i < 60; ++i) {
      double t0 = nowMs();
      shown->p = shown->snapshot;
      window->repaint();
      whole.samples.push_back(nowMs() - t0);
    }
  }
  timedDrag("rubber band (whole screen)", {40, 40}, {w - 40, h - 40}, 120, [] {});
  // The same without the magnifier (Z), for what the magnifier adds to it.
  timedDrag("rubber band, magnifier off", {40, 40}, {w - 40, h - 40}, 120, [] { core->onKeyPress('z'); });
  timedDrag("arrow, width 4, corner to corner", {60, 60}, {w - 60, h - 60}, 120, tool('a'));
  timedDrag("highlighter, width 18, 200 points", {60, h / 2}, {w - 60, h / 2 - 100}, 200, tool('h'));
  timedDrag("redact, up to 2000x1200", {100, 100}, {2100, 1300}, 120, tool('b'));
  timedDrag("pixelate, up to 2000x1200", {100, 100}, {2100, 1300}, 120, tool('p'));
  std::printf("== selection window frame under Wine, %dx%d picture, ms per mouse move\n", w, h);
  double band = results["whole screen copied and repainted"].at(0.5);
  for (const std::string& kind : order) {
    Figures& f = results[kind];
    std::printf("%-38s median %7.2f   p95 %7.2f   ratio to the whole repaint %.2f\n", kind.c_str(), f.at(0.5),
                f.at(0.95), f.at(0.5) / band);
  }
  std::fflush(stdout);
  window->close();
}

} // namespace

int main() {
  int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
  capture::CaptureState state;
  state.screen.area = {0, 0, w, h};
  state.screen.monitors = {{{0, 0, w, h}, 96, true}};
  state.p = screen::Picture(w, h);
  // Something like a screen: stripes of text-like noise on light grey.
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      state.p.at(x, y) = (y / 16) % 2 && (x * 7 + y * 13) % 11 < 4 ? 0x202020 : 0xE8E8E8;
  state.snapshot = state.p;
  state.windows = {{{w - 1700, h - 1100, w - 100, h - 100}, {}},
                   {{0, 0, w, h}, {{{0, 0, w / 2, h / 2}, {}}}}};
  win32::Win32TextGlyphs glyphs;
  NoMessages messages;
  MemoryProfile profile;
  win32::Win32Clipboard clipboard;
  win32::SelectionWindow view(state);
  capture::SelectionWindow selection(state, view, [] { return false; }, "C:\\bench\\Glimor.exe", {},
                                     {glyphs, messages, profile, clipboard});
  core = &selection;
  shown = &state;
  window = &view;
  view.setCore(selection);
  view.createWindow();
  ::SetTimer(nullptr, 0, 200, run);
  view.showModal();
  return 0;
}
