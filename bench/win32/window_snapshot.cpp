// The list of windows that the hot key takes with the screen, timed under Wine: a second copy of
// this program holds 100 top-level windows with three controls each (the list leaves out the
// lister's own windows), and the first times Win32Screen::windows over them, and beside it the grab
// of the whole screen that the hot key makes first. Prints medians and 95th percentiles.
#include "win32/screen.h"

#include "timing.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using glimor::bench::Figures;
using glimor::bench::nowMs;

// The windows to list: staggered over the screen, each with a few buttons.
int hold(int count) {
  WNDCLASSA c{};
  c.lpfnWndProc = ::DefWindowProcA;
  c.hInstance = ::GetModuleHandleA(nullptr);
  c.lpszClassName = "SnapshotTarget";
  c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  ::RegisterClassA(&c);
  for (int i = 0; i < count; ++i) {
    HWND w =
        ::CreateWindowExA(0, "SnapshotTarget", "target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20 + (i % 20) * 30,
                          20 + (i / 20) * 40, 640, 480, nullptr, nullptr, c.hInstance, nullptr);
    for (int b = 0; b < 3; ++b)
      ::CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE, 10 + b * 90, 10, 80, 24, w, nullptr,
                        c.hInstance, nullptr);
  }
  MSG m;
  while (::GetMessageA(&m, nullptr, 0, 0) > 0) ::DispatchMessageA(&m);
  return 0;
}

Figures timed(int rounds, const std::function<void()>& work) {
  Figures f;
  for (int i = 0; i < rounds; ++i) {
    double t0 = nowMs();
    work();
    f.samples.push_back(nowMs() - t0);
  }
  return f;
}

std::size_t countOf(const std::vector<glimor::screen::WindowBox>& list) {
  std::size_t n = list.size();
  for (const auto& w : list) n += countOf(w.children);
  return n;
}

} // namespace

int main(int argc, char** argv) {
  constexpr int targets = 100;
  if (argc > 2 && std::strcmp(argv[1], "--hold") == 0) return hold(std::atoi(argv[2]));
  char self[MAX_PATH];
  ::GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command = std::string("\"") + self + "\" --hold " + std::to_string(targets);
  STARTUPINFOA start{};
  start.cb = sizeof start;
  PROCESS_INFORMATION child{};
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start,
                        &child)) {
    std::printf("cannot start the window holder\n");
    return 1;
  }
  glimor::win32::Win32Screen screen;
  std::vector<glimor::screen::WindowBox> list;
  for (int tries = 0; tries < 300 && list.size() < targets; ++tries) {
    ::Sleep(100);
    list = screen.windows();
  }
  glimor::screen::Rect area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  Figures alone = timed(40, [&] { list = screen.windows(); });
  Figures grab = timed(20, [&] { screen.grab(area); });
  std::printf("== window list at the hot key under Wine, %dx%d screen: %zu top-level windows, %zu in all\n",
              area.right, area.bottom, list.size(), countOf(list));
  std::printf("%-40s median %7.2f ms   p95 %7.2f ms\n", "Win32Screen::windows (the hot key adds)",
              alone.at(0.5), alone.at(0.95));
  std::printf("%-40s median %7.2f ms   p95 %7.2f ms\n", "the grab before it, for scale", grab.at(0.5),
              grab.at(0.95));
  std::fflush(stdout);
  ::TerminateProcess(child.hProcess, 0);
  ::CloseHandle(child.hThread);
  ::CloseHandle(child.hProcess);
  return list.size() >= targets ? 0 : 1;
}
