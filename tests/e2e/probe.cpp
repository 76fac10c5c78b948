// glimor_probe.exe: lists the windows of the desktop it runs on, for end-to-end
// tests that cannot see inside a Wine virtual desktop from X.
// Usage: glimor_probe.exe <output file>, or glimor_probe.exe --serve <folder> (see serve()). One
// line per window:
//   screen|<left>|<top>                     first: the virtual screen's origin
//   top|<visible 0/1>|<class>|<text>        for each top-level window
//   child|<visible 0/1>|<class>|<text>      for each of its child windows
//   tab|<index>|<text>                      for each tab of a visible tab control
//   rect|<left>|<top>|<right>|<bottom>      after each top, child and tab line (after client for a
//                                           top-level window): where it is, in screen coordinates
//   panel|<index>|<text>                    for each status bar panel after the first
//   client|<width>|<height>                 after each visible top-level window: its client area
//   focus|<class>|<text>                    the window with the keyboard focus, where it is ours
//   checked|<text>                          after each ticked check box or chosen radio button
//   menumode                                after a top-level window whose menu is being tracked
//   foreground|<class>|<text>|<menu 0/1>|<focus class>  last: the foreground window, whether its
//                                           thread is in a menu's mode (a menu bar or popup being
//                                           tracked) and the class of its thread's keyboard focus
//   held|<keys>                             after it: the modifier keys Windows holds down (alt,
//                                           ctrl, shift, win), space-separated
// Or: glimor_probe.exe --deny-write <key under HKEY_LOCAL_MACHINE>: that key stays readable but no
// one may write it, as for a standard user.
// Or: glimor_probe.exe --layout <output file>: the controls that sit side by side in one panel,
// each as control|<class>|<text>|<left>|<top>|<right>|<bottom>|<width its caption needs, 0: none>,
// then a line for each fault: overlap|<text>|<text> for two controls that overlap, and
// cut|<text>|<width>|<needed> for a caption wider than its control.
// Or: glimor_probe.exe --words <output file> <word>...: the words in large black letters on a white
// window at the desktop's top-left, for a minute; the file holds word|<text>|<left>|<top>|<right>|
// <bottom> for each, in screen coordinates, once they are shown.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

std::FILE* out = nullptr;

// Texts are written as UTF-8, whatever the code page.
std::string utf8(const wchar_t* text) {
  int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string result(n > 0 ? static_cast<std::size_t>(n) : 1, '\0');
  if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), n, nullptr, nullptr);
  result.resize(result.size() - 1);
  return result;
}

std::wstring utf16(const std::string& text) {
  int n = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring result(n > 0 ? static_cast<std::size_t>(n) : 1, L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, result.data(), n);
  result.resize(result.size() - 1);
  return result;
}

std::string classOf(HWND window) {
  wchar_t cls[256] = {};
  ::GetClassNameW(window, cls, 256);
  return utf8(cls);
}

std::string textOf(HWND window) {
  wchar_t text[1024] = {};
  // WM_GETTEXT crosses process boundaries; a status bar answers with its first panel.
  ::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
  std::string s = utf8(text);
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}

void line(const char* kind, HWND window) {
  std::fprintf(out, "%s|%d|%s|%s\n", kind, ::IsWindowVisible(window) ? 1 : 0, classOf(window).c_str(),
               textOf(window).c_str());
}

void rectLine(const RECT& rect) {
  std::fprintf(out, "rect|%ld|%ld|%ld|%ld\n", rect.left, rect.top, rect.right, rect.bottom);
}

void windowRect(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  rectLine(rect);
}

// Memory taken in another window's process, for the control messages that Windows does not
// carry across processes: they write into it, and it is read back.
class RemoteBuffer {
public:
  explicit RemoteBuffer(HWND window) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    process_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process_)
      address_ = static_cast<char*>(::VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
  }
  ~RemoteBuffer() {
    if (address_) ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) ::CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  static constexpr SIZE_T size = 1024;
  char* address() const { return address_; }
  bool write(SIZE_T offset, const void* data, SIZE_T length) const {
    return ::WriteProcessMemory(process_, address_ + offset, data, length, nullptr);
  }
  bool read(SIZE_T offset, void* data, SIZE_T length) const {
    return ::ReadProcessMemory(process_, address_ + offset, data, length, nullptr);
  }

private:
  HANDLE process_ = nullptr;
  char* address_ = nullptr;
};

// Each tab of a tab control: its text and where it is, to be clicked.
void tabs(HWND control) {
  RemoteBuffer remote(control);
  if (!remote.address()) return;
  DWORD_PTR count = 0;
  ::SendMessageTimeoutW(control, TCM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count);
  for (DWORD_PTR index = 0; index < count; ++index) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = reinterpret_cast<wchar_t*>(remote.address() + sizeof item);
    item.cchTextMax = 256;
    wchar_t text[257] = {};
    RECT rect{};
    DWORD_PTR ok = 0;
    if (!remote.write(0, &item, sizeof item) ||
        !::SendMessageTimeoutW(control, TCM_GETITEMW, index, reinterpret_cast<LPARAM>(remote.address()),
                               SMTO_ABORTIFHUNG, 2000, &ok) ||
        !ok || !remote.read(sizeof item, text, 256 * sizeof(wchar_t)) ||
        !::SendMessageTimeoutW(control, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(remote.address()),
                               SMTO_ABORTIFHUNG, 2000, &ok) ||
        !ok || !remote.read(0, &rect, sizeof rect))
      continue;
    ::MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    std::fprintf(out, "tab|%u|%s\n", static_cast<unsigned>(index), utf8(text).c_str());
    rectLine(rect);
  }
}

// WM_GETTEXT reaches only a status bar's first panel, and SB_GETTEXTW is not carried across
// processes.
void panels(HWND bar) {
  RemoteBuffer remote(bar);
  DWORD_PTR parts = 0;
  ::SendMessageTimeoutW(bar, SB_GETPARTS, 0, 0, SMTO_ABORTIFHUNG, 2000, &parts);
  for (DWORD_PTR index = 1; remote.address() && index < parts; ++index) {
    DWORD_PTR length = 0;
    ::SendMessageTimeoutW(bar, SB_GETTEXTLENGTHW, index, 0, SMTO_ABORTIFHUNG, 2000, &length);
    wchar_t text[RemoteBuffer::size / sizeof(wchar_t)] = {};
    DWORD_PTR ignored = 0;
    if (LOWORD(length) < RemoteBuffer::size / sizeof(wchar_t) &&
        ::SendMessageTimeoutW(bar, SB_GETTEXTW, index, reinterpret_cast<LPARAM>(remote.address()),
                              SMTO_ABORTIFHUNG, 2000, &ignored))
      remote.read(0, text, sizeof text - sizeof(wchar_t));
    std::fprintf(out, "panel|%u|%s\n", static_cast<unsigned>(index), utf8(text).c_str());
  }
}

BOOL CALLBACK child(HWND window, LPARAM) {
  line("child", window);
  windowRect(window);
  const std::string cls = classOf(window);
  if (cls == STATUSCLASSNAMEA) panels(window);
  if (cls == WC_TABCONTROLA && ::IsWindowVisible(window)) tabs(window);
  DWORD_PTR state = 0;
  if (cls == "Button" && ::SendMessageTimeoutW(window, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state) &&
      state == BST_CHECKED)
    std::fprintf(out, "checked|%s\n", textOf(window).c_str());
  return TRUE;
}

BOOL CALLBACK top(HWND window, LPARAM) {
  line("top", window);
  if (::IsWindowVisible(window)) {
    RECT client{};
    ::GetClientRect(window, &client);
    std::fprintf(out, "client|%ld|%ld\n", client.right, client.bottom);
  }
  windowRect(window);
  ::EnumChildWindows(window, child, 0);
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  if (::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &thread) && thread.hwndFocus &&
      ::IsChild(window, thread.hwndFocus)) {
    std::fprintf(out, "focus|%s|%s\n", classOf(thread.hwndFocus).c_str(), textOf(thread.hwndFocus).c_str());
  }
  if ((thread.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)) &&
      thread.hwndMenuOwner == window)
    std::fprintf(out, "menumode\n");
  return TRUE;
}

// ---- --layout

struct Control {
  HWND window;
  std::string cls, text;
  RECT rect;
  long needed; // the width its caption needs; 0 when it shows none on one line
};

int dpiOf(HWND window) {
  using ForWindow = UINT(WINAPI*)(HWND);
  static auto forWindow = reinterpret_cast<ForWindow>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  if (forWindow)
    if (UINT dpi = forWindow(window)) return static_cast<int>(dpi);
  HDC screen = ::GetDC(nullptr);
  int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi;
}

// The width of a text in the face the program draws its own captions in (a font handle does not
// cross processes): MS Sans Serif of 8 points at 96 dpi, its outline twin Microsoft Sans Serif
// scaled at any other.
long textWidth(const std::string& text, int dpi, bool bold) {
  HFONT font =
      ::CreateFontW(-::MulDiv(11, dpi, 96), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                    DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                    DEFAULT_PITCH | FF_DONTCARE, dpi == 96 ? L"MS Sans Serif" : L"Microsoft Sans Serif");
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font);
  SIZE size{};
  const std::wstring wide = utf16(text);
  ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  ::DeleteObject(font);
  return size.cx;
}

// The width a caption on one line needs. A button (push button, check box, radio button)
// answers itself, measured in its own font (BCM_GETIDEALSIZE), and a push button wants a few
// pixels more, so its caption keeps off the frame; a label's text is measured here, and so is
// the caption of the one button the program draws itself, the selection panel's bold Glimo
// button, with a push button's margin around it.
long neededWidth(HWND window, const std::string& cls, const std::string& text) {
  if (text.empty() || text.find_first_of("\r\n") != std::string::npos) return 0;
  auto style = static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE));
  const int dpi = dpiOf(window), margin = ::MulDiv(8, dpi, 96);
  if (cls == "Button") {
    DWORD type = style & BS_TYPEMASK;
    if (type == BS_GROUPBOX) return 0;
    if (type == BS_OWNERDRAW) return textWidth(text, dpi, true) + margin;
    RemoteBuffer remote(window);
    SIZE ideal{};
    DWORD_PTR ok = 0;
    if (!remote.address() || !remote.write(0, &ideal, sizeof ideal) ||
        !::SendMessageTimeoutW(window, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(remote.address()),
                               SMTO_ABORTIFHUNG, 2000, &ok) ||
        !ok || !remote.read(0, &ideal, sizeof ideal))
      return -1;
    // A push button's ideal size leaves its caption all but touching the frame.
    return ideal.cx + (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON ? margin : 0);
  }
  DWORD type = style & SS_TYPEMASK;
  if (cls != "Static" || (type != SS_LEFT && type != SS_SIMPLE && type != SS_LEFTNOWORDWRAP)) return 0;
  return textWidth(text, dpi, false);
}

BOOL CALLBACK collect(HWND window, LPARAM list) {
  if (!::IsWindowVisible(window)) return TRUE;
  const std::string cls = classOf(window);
  std::string text = textOf(window);
  RECT rect{};
  ::GetWindowRect(window, &rect);
  reinterpret_cast<std::vector<Control>*>(list)->push_back(
      {window, cls, text, rect, neededWidth(window, cls, text)});
  return TRUE;
}

bool overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool groupBox(HWND window) {
  return (static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE)) & BS_TYPEMASK) == BS_GROUPBOX;
}

// Every visible control of the visible top-level windows, with its neighbours in the same
// panel: a panel whose children hold panels themselves (a page over other pages) is left out.
void layout(HWND top) {
  std::vector<Control> all;
  ::EnumChildWindows(top, collect, reinterpret_cast<LPARAM>(&all));
  std::map<HWND, std::vector<const Control*>> panels;
  for (const Control& c : all) panels[::GetParent(c.window)].push_back(&c);
  for (auto& [panel, controls] : panels) {
    bool nested = false;
    for (const Control* c : controls) nested |= panels.count(c->window) > 0;
    if (nested) continue;
    for (std::size_t i = 0; i < controls.size(); ++i) {
      const Control& c = *controls[i];
      std::fprintf(out, "control|%s|%s|%ld|%ld|%ld|%ld|%ld\n", c.cls.c_str(), c.text.c_str(), c.rect.left,
                   c.rect.top, c.rect.right, c.rect.bottom, c.needed);
      if (c.needed < 0) std::fprintf(out, "cut|%s|no ideal size\n", c.text.c_str());
      if (c.needed > c.rect.right - c.rect.left)
        std::fprintf(out, "cut|%s|%ld|%ld\n", c.text.c_str(), c.rect.right - c.rect.left, c.needed);
      for (std::size_t j = i + 1; j < controls.size(); ++j)
        if (!groupBox(c.window) && !groupBox(controls[j]->window) && overlap(c.rect, controls[j]->rect))
          std::fprintf(out, "overlap|%s|%s\n", c.text.c_str(), controls[j]->text.c_str());
    }
  }
}

// Glimor's own windows: not those of Wine's desktop.
BOOL CALLBACK layoutOfTop(HWND window, LPARAM) {
  if (::IsWindowVisible(window) && classOf(window).rfind("Glimor", 0) == 0) layout(window);
  return TRUE;
}

// Everyone may read the key; no one may change it.
int denyWrite(const char* path) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
    return 1;
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  char buffer[256];
  auto* acl = reinterpret_cast<PACL>(buffer);
  ::InitializeAcl(acl, sizeof buffer, ACL_REVISION);
  ::AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone);
  SECURITY_DESCRIPTOR descriptor;
  ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  ::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
  LONG result = ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
  ::RegCloseKey(key);
  ::FreeSid(everyone);
  return result == ERROR_SUCCESS ? 0 : 1;
}

void foregroundLine() {
  HWND window = ::GetForegroundWindow();
  if (!window) return;
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  bool known = ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &thread);
  bool menu = known && (thread.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE));
  std::string focus = known && thread.hwndFocus ? classOf(thread.hwndFocus) : "";
  std::fprintf(out, "foreground|%s|%s|%d|%s\n", classOf(window).c_str(), textOf(window).c_str(), menu ? 1 : 0,
               focus.c_str());
}

void heldLine() {
  std::string held;
  for (auto [key, name] :
       {std::pair{VK_MENU, "alt"}, {VK_CONTROL, "ctrl"}, {VK_SHIFT, "shift"}, {VK_LWIN, "win"}})
    if (::GetAsyncKeyState(key) < 0) held += held.empty() ? name : std::string(" ") + name;
  std::fprintf(out, "held|%s\n", held.c_str());
}

// Writes the list (or with `layoutOnly` the layout report) into `path`, renamed there when
// complete, so a test that waits for the file never reads half of it.
bool writeList(const std::string& path, bool layoutOnly = false) {
  std::string temp = path + "." + std::to_string(::GetCurrentProcessId());
  out = std::fopen(temp.c_str(), "w");
  if (!out) return false;
  if (layoutOnly) {
    ::EnumWindows(layoutOfTop, 0);
  } else {
    std::fprintf(out, "screen|%d|%d\n", ::GetSystemMetrics(SM_XVIRTUALSCREEN),
                 ::GetSystemMetrics(SM_YVIRTUALSCREEN));
    ::EnumWindows(top, 0);
    foregroundLine();
    heldLine();
  }
  std::fclose(out);
  return ::MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// Answers each request file `folder`\request with `folder`\windows.txt, so that a test pays for
// one process start rather than one per look. The request is taken by deleting it, so of two
// servers only one answers. It ends after five seconds without a request (thirty before the
// first, as it may be started ahead of the first look), so that Wine's server can end with the
// program under test.
int serve(const std::string& folder) {
  const std::string request = folder + "\\request", answer = folder + "\\windows.txt";
  DWORD lastRequest = ::GetTickCount(), idleLimit = 30000;
  while (::GetTickCount() - lastRequest < idleLimit) {
    if (!::DeleteFileA(request.c_str())) {
      ::Sleep(10);
      continue;
    }
    if (!writeList(answer)) return 1;
    lastRequest = ::GetTickCount();
    idleLimit = 5000;
  }
  return 0;
}

// ---- --words

std::vector<std::string> shownWords;

LRESULT CALLBACK wordsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return ::DefWindowProcA(window, message, wParam, lParam);
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(window, &ps);
  RECT all;
  ::GetClientRect(window, &all);
  ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  HFONT font =
      ::CreateFontA(-56, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, "Arial");
  HGDIOBJ old = ::SelectObject(dc, font);
  ::SetTextColor(dc, RGB(0, 0, 0));
  int x = 30;
  for (const std::string& word : shownWords) {
    ::TextOutA(dc, x, 40, word.c_str(), static_cast<int>(word.size()));
    SIZE size;
    ::GetTextExtentPoint32A(dc, word.c_str(), static_cast<int>(word.size()), &size);
    x += size.cx + 40;
  }
  ::SelectObject(dc, old);
  ::DeleteObject(font);
  ::EndPaint(window, &ps);
  return 0;
}

int showWords(const std::string& path, std::vector<std::string> words) {
  shownWords = std::move(words);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = wordsProc;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "GlimorProbeWords";
  ::RegisterClassA(&windowClass);
  HWND window = ::CreateWindowExA(0, "GlimorProbeWords", "words", WS_POPUP | WS_VISIBLE, 40, 60, 940, 140,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
  ::UpdateWindow(window);
  HDC dc = ::GetDC(window);
  HFONT font =
      ::CreateFontA(-56, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, "Arial");
  HGDIOBJ old = ::SelectObject(dc, font);
  std::string temp = path + ".part";
  std::FILE* file = std::fopen(temp.c_str(), "w");
  if (!file) return 1;
  int x = 30;
  for (const std::string& word : shownWords) {
    SIZE size;
    ::GetTextExtentPoint32A(dc, word.c_str(), static_cast<int>(word.size()), &size);
    POINT topLeft{x, 40};
    ::ClientToScreen(window, &topLeft);
    std::fprintf(file, "word|%s|%ld|%ld|%ld|%ld\n", word.c_str(), topLeft.x, topLeft.y, topLeft.x + size.cx,
                 topLeft.y + size.cy);
    x += size.cx + 40;
  }
  std::fclose(file);
  ::SelectObject(dc, old);
  ::DeleteObject(font);
  ::ReleaseDC(window, dc);
  ::MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
  ::SetTimer(window, 1, 60000, nullptr);
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::string(argv[1]) == "--words")
    return showWords(argv[2], std::vector<std::string>(argv + 3, argv + argc));
  if (argc == 3 && std::string(argv[1]) == "--deny-write") return denyWrite(argv[2]);
  if (argc == 3 && std::string(argv[1]) == "--serve") return serve(argv[2]);
  if (argc == 3 && std::string(argv[1]) == "--layout") return writeList(argv[2], true) ? 0 : 1;
  if (argc < 2) return 2;
  return writeList(argv[1]) ? 0 : 1;
}
