// The windows on the screen, for the selection window to snap to: Win32Screen::windows.
#include "win32/dll_proc.h"
#include "win32/screen.h"

#include <windows.h>

namespace glimor::win32 {

namespace {

constexpr DWORD extendedFrameBounds = 9; // DWMWA_EXTENDED_FRAME_BOUNDS
constexpr DWORD cloaked = 14;            // DWMWA_CLOAKED
constexpr int deepest = 8;               // controls in controls in ...: enough for any dialog
constexpr std::size_t most = 4096;       // a bound on the work, whatever the desktop holds

using DwmGetWindowAttributeProc = HRESULT(WINAPI*)(HWND, DWORD, void*, DWORD);

// dwmapi.dll is loaded when first needed: older systems and Wine may lack it or the attribute.
DwmGetWindowAttributeProc dwmAttribute() {
  static DwmGetWindowAttributeProc proc = [] {
    FARPROC address = nullptr;
    GetDllProc("dwmapi.dll", "DwmGetWindowAttribute", address);
    return reinterpret_cast<DwmGetWindowAttributeProc>(reinterpret_cast<void*>(address));
  }();
  return proc;
}

bool isCloaked(HWND window) {
  DWORD value = 0;
  auto dwm = dwmAttribute();
  return dwm && dwm(window, cloaked, &value, sizeof value) == S_OK && value != 0;
}

screen::Rect rectOf(const RECT& r) {
  return {r.left, r.top, r.right, r.bottom};
}

// What the screen shows of a top-level window: without the invisible resize border Windows 10 and
// later put around it, where DWM says so.
screen::Rect visibleFrameOf(HWND window) {
  RECT r{};
  auto dwm = dwmAttribute();
  if (dwm && dwm(window, extendedFrameBounds, &r, sizeof r) == S_OK && r.right > r.left && r.bottom > r.top)
    return rectOf(r);
  ::GetWindowRect(window, &r);
  return rectOf(r);
}

struct Walk {
  DWORD ownProcess = ::GetCurrentProcessId();
  HWND shell = ::GetShellWindow();
  DWORD shellProcess = 0;
  std::size_t count = 0;
  std::vector<screen::WindowBox> list;
};

// The style alone says visible and minimised, where IsWindowVisible and IsIconic would each ask
// again (under Wine every such question is a round trip to its server): a top-level window's
// parent is the desktop, and a child is only looked at when its parent is visible.
LONG styleOf(HWND window) {
  return ::GetWindowLongW(window, GWL_STYLE);
}

// The visible child windows of `parent`, topmost first, and theirs in turn.
void addChildren(HWND parent, int depth, Walk& walk, std::vector<screen::WindowBox>& to) {
  if (depth >= deepest) return;
  for (HWND child = ::GetWindow(parent, GW_CHILD); child && walk.count < most;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!(styleOf(child) & WS_VISIBLE)) continue;
    RECT r{};
    if (!::GetWindowRect(child, &r) || r.right <= r.left || r.bottom <= r.top) continue;
    ++walk.count;
    screen::WindowBox& box = to.emplace_back(screen::WindowBox{rectOf(r), {}});
    addChildren(child, depth + 1, walk, box.children);
  }
}

// The desktop behind the icons (Progman, WorkerW) is no window to pick: a click there means the
// monitor. Only the shell's own windows need their class read.
bool isDesktop(HWND window, DWORD process, const Walk& walk) {
  if (window == walk.shell) return true;
  if (process != walk.shellProcess || !walk.shell) return false;
  wchar_t name[16] = {};
  ::GetClassNameW(window, name, 16);
  return lstrcmpW(name, L"Progman") == 0 || lstrcmpW(name, L"WorkerW") == 0;
}

// A window that lies wholly within one above it can never be under the pointer, and its controls
// need not be asked for: behind a maximised window that is every window of its monitor.
bool coveredByOne(const screen::Rect& r, const std::vector<screen::WindowBox>& above) {
  for (const screen::WindowBox& w : above)
    if (w.bounds.left <= r.left && w.bounds.top <= r.top && w.bounds.right >= r.right &&
        w.bounds.bottom >= r.bottom)
      return true;
  return false;
}

BOOL CALLBACK addTopLevel(HWND window, LPARAM param) {
  auto& walk = *reinterpret_cast<Walk*>(param);
  if (walk.count >= most) return FALSE;
  LONG style = styleOf(window);
  if (!(style & WS_VISIBLE) || (style & WS_MINIMIZE)) return TRUE;
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (process == walk.ownProcess || isDesktop(window, process, walk) || isCloaked(window)) return TRUE;
  screen::Rect frame = visibleFrameOf(window);
  if (frame.width() <= 0 || frame.height() <= 0 || coveredByOne(frame, walk.list)) return TRUE;
  ++walk.count;
  screen::WindowBox& box = walk.list.emplace_back(screen::WindowBox{frame, {}});
  addChildren(window, 0, walk, box.children);
  return TRUE;
}

} // namespace

// EnumWindows gives the top-level windows in Z order, topmost first.
std::vector<screen::WindowBox> Win32Screen::windows() {
  Walk walk;
  if (walk.shell) ::GetWindowThreadProcessId(walk.shell, &walk.shellProcess);
  ::EnumWindows(addTopLevel, reinterpret_cast<LPARAM>(&walk));
  return std::move(walk.list);
}

} // namespace glimor::win32
