// glimor_probe.exe: lists the windows of the desktop it runs on, for end-to-end
// tests that cannot see inside a Wine virtual desktop from X.
// Usage: glimor_probe.exe <output file>. One line per window:
//   top|<visible 0/1>|<class>|<text>        for each top-level window
//   child|<visible 0/1>|<class>|<text>      for each of its child windows
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::FILE* out = nullptr;

std::string textOf(HWND window) {
  char text[1024] = {};
  // WM_GETTEXT crosses process boundaries; a status bar answers with its first panel.
  ::SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, nullptr);
  std::string s(text);
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}

void line(const char* kind, HWND window) {
  char cls[256] = {};
  ::GetClassNameA(window, cls, sizeof cls);
  std::fprintf(out, "%s|%d|%s|%s\n", kind, ::IsWindowVisible(window) ? 1 : 0, cls, textOf(window).c_str());
}

BOOL CALLBACK child(HWND window, LPARAM) {
  line("child", window);
  return TRUE;
}

BOOL CALLBACK top(HWND window, LPARAM) {
  line("top", window);
  ::EnumChildWindows(window, child, 0);
  return TRUE;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string temp = std::string(argv[1]) + ".part";
  out = std::fopen(temp.c_str(), "w");
  if (!out) return 1;
  ::EnumWindows(top, 0);
  std::fclose(out);
  // Renamed when complete, so a test that waits for the file never reads half of it.
  return ::MoveFileExA(temp.c_str(), argv[1], MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
