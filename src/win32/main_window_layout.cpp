// The main window's controls, placed as the window is designed (client 397 x 180 at 96 dpi).
#include "win32/control_ids.h"
#include "win32/controls.h"
#include "win32/main_window.h"
#include "win32/product_copy.h"

#include <algorithm>
#include <commctrl.h>
#include <cstring>
#include <richedit.h>

namespace glimor::win32 {

namespace {

constexpr int clientWidth = 397, clientHeight = 180;
constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

DWORD CALLBACK readRtf(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
  auto* rest = reinterpret_cast<std::pair<const char*, DWORD>*>(cookie);
  LONG n = static_cast<LONG>(std::min<DWORD>(rest->second, static_cast<DWORD>(wanted)));
  std::memcpy(buffer, rest->first, static_cast<std::size_t>(n));
  rest->first += n;
  rest->second -= static_cast<DWORD>(n);
  *given = n;
  return 0;
}

// The rich-text document stored in the RCDATA resource "faq".
void loadFaq(HWND richEdit) {
  HRSRC found = ::FindResourceA(nullptr, "faq", MAKEINTRESOURCEA(10)); // RT_RCDATA
  if (!found) return;
  HGLOBAL loaded = ::LoadResource(nullptr, found);
  std::pair<const char*, DWORD> rest{static_cast<const char*>(::LockResource(loaded)),
                                     ::SizeofResource(nullptr, found)};
  EDITSTREAM stream{};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&rest);
  stream.pfnCallback = readRtf;
  ::SendMessageA(richEdit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
}

} // namespace

void MainWindow::createWindow(HWND owner, const std::string& serviceHost) {
  registerClass("GlimorMain", 0, nullptr, ::LoadIconA(::GetModuleHandleA(nullptr), "MAINICON"));
  Window::create("GlimorMain", "Glimor", style, WS_EX_CONTROLPARENT, 0, 0, clientWidth, clientHeight, owner);
  createControls(serviceHost);
  layOutForDpi();
}

void MainWindow::layOutForDpi() {
  layout_.record(hwnd());
  fitToDpi(dpiOf(hwnd()), nullptr);
}

// At a new resolution the window takes the place Windows suggests; otherwise it is centred.
void MainWindow::fitToDpi(int dpi, const RECT* suggested) {
  layout_.apply(dpi);
  int parts[] = {scaled(260, dpi), -1}; // the last part runs to the right edge
  ::SendMessageA(statusBar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  if (suggested) {
    ::SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  } else if (placed_) { // controls added later: the window keeps its place
    SIZE frame = frameFor(clientWidth, clientHeight, style, WS_EX_CONTROLPARENT, dpi);
    ::SetWindowPos(hwnd(), nullptr, 0, 0, frame.cx, frame.cy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  } else {
    placed_ = true;
    SIZE frame = frameFor(clientWidth, clientHeight, style, WS_EX_CONTROLPARENT, dpi);
    int x = (::GetSystemMetrics(SM_CXSCREEN) - frame.cx) / 2,
        y = (::GetSystemMetrics(SM_CYSCREEN) - frame.cy) / 2;
    ::SetWindowPos(hwnd(), nullptr, x, y, frame.cx, frame.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::SendMessageA(statusBar_, WM_SIZE, 0, 0);
  placeStatusTip();
}

void MainWindow::createControls(const std::string& serviceHost) {
  font_ = createFont("MS Sans Serif", 8);
  boldFont_ = createFont("MS Sans Serif", 8, true);
  memoFont_ = createFont("Verdana", 9);
  HWND self = hwnd();

  tabs_ = createControl(
      self, {WC_TABCONTROLA, "", 2, 4, 393, 153, WS_CLIPSIBLINGS | WS_TABSTOP, 0, ids::tabs, true, font_});
  const char* captions[] = {"Glimoed Links", "Options", "About", "FAQ"};
  for (int i = 0; i < 4; ++i) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(captions[i]);
    ::SendMessageA(tabs_, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
  // Pages sit over the tab control's display area, which is 385 x 125.
  RECT area{0, 0, 393, 153};
  ::SendMessageA(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  for (int i = 0; i < 4; ++i) {
    pages_[i].create(self, self, 2 + area.left, 4 + area.top, 385, 125, i == 0);
    ::SetWindowPos(pages_[i].hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
  createLinksPage(pages_[0].hwnd(), serviceHost);
  createOptionsPage(pages_[1].hwnd());
  createAboutPage(pages_[2].hwnd());
  createFaqPage(pages_[3].hwnd());

  statusBar_ = createControl(self, {STATUSCLASSNAMEA, "", 0, 0, 0, 19, 0, 0, ids::statusBar, true, font_});
  statusTip_ =
      ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0,
                        0, 0, 0, self, nullptr, ::GetModuleHandleA(nullptr), nullptr);
  TTTOOLINFOA tool = statusTool();
  tool.uFlags = TTF_SUBCLASS;
  tool.lpszText = const_cast<char*>("");
  ::SendMessageA(statusTip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  ::SendMessageA(statusTip_, TTM_SETMAXTIPWIDTH, 0, 400);

  edit1_ = createControl(self, {"EDIT", "", 0, 0, 0, 0, ES_AUTOHSCROLL, 0, ids::edit1, false, font_});
  button1_ =
      createControl(self, {"BUTTON", "Glimo it !", 0, 0, 0, 0, BS_PUSHBUTTON, 0, ids::button1, false, font_});
}

void MainWindow::createLinksPage(HWND page, const std::string& serviceHost) {
  std::string lines =
      "Use keyboard HotKey combination to capture images.\r\nYou can change HotKey on 'Options' "
      "page.\r\n\r\n" +
      siteLine(serviceHost);
  // Four lines of 13 pixels, centred on the page as wide as it is, so a wider or taller face
  // (the one scaled text uses) neither wraps a line nor cuts the last one off.
  createControl(page, {"STATIC", lines, 8, 48, 369, 64, SS_CENTER, 0, ids::label12, true, boldFont_});
  HWND panel = linkPanel_.create(page, hwnd(), 0, 0, 385, 125, false, true);
  createControl(panel, {"STATIC", "Direct Link:", 8, 16, 80, 13, 0, 0, 0, true, font_});
  createControl(panel, {"EDIT", "", 8, 32, 369, 19, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
                        ids::directLink, true, font_});
  createControl(panel, {"BUTTON", "Open Link", 136, 56, 113, 25, BS_PUSHBUTTON | WS_TABSTOP, 0, ids::openLink,
                        true, font_});
  createControl(panel, {"BUTTON", "Copy to ClipBoard", 264, 56, 113, 25, BS_PUSHBUTTON | WS_TABSTOP, 0,
                        ids::copyLink, true, font_});
}

void MainWindow::createOptionsPage(HWND page) {
  HWND panel = optionsPanel_.create(page, hwnd(), 0, 0, 385, 125, true, true);
  auto fit = [&](const std::string& text, int box) { return textWidth(panel, font_, text) + box; };
  createControl(panel, {"STATIC", "HotKey Combination:", 8, 8, fit("HotKey Combination:", 2), 13, 0, 0, 0,
                        true, font_});
  hotKey_ = createControl(
      panel, {HOTKEY_CLASSA, "", 120, 8, 121, 19, WS_TABSTOP, WS_EX_CLIENTEDGE, ids::hotKey, true, font_});
  ::SendMessageA(hotKey_, HKM_SETRULES, 0, 0); // any combination is accepted
  createControl(panel, {"BUTTON", "Check for updates", 280, 8, 97, 17, BS_PUSHBUTTON | WS_TABSTOP, 0,
                        ids::checkForUpdates, true, font_});
  autoUpdate_ = createControl(panel, {"BUTTON", "Update on load", 280, 32, fit("Update on load", 20), 17,
                                      BS_AUTOCHECKBOX | WS_TABSTOP, 0, ids::autoUpdate, true, font_});
  createControl(
      panel, {"STATIC", "Select file type:", 8, 40, fit("Select file type:", 2), 13, 0, 0, 0, true, font_});
  // The fourth type sits beside "Start with Windows", whose box ends where their column begins.
  constexpr int typesLeft = 120;
  const char* types[] = {"JPEG Image (.jpg)", "Bitmap (.bmp)", "GIF Image (.gif)", "PNG Image (.png)"};
  for (int i = 0; i < static_cast<int>(radios_.size()); ++i)
    radios_[i] =
        createControl(panel, {"BUTTON", types[i], typesLeft, 32 + 16 * i, fit(types[i], 20), 17,
                              static_cast<DWORD>(BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0)),
                              0, ids::jpeg + i, true, font_});
  autoStart_ = createControl(
      panel, {"BUTTON", "Start with Windows", 8, 88, std::min(fit("Start with Windows", 20), typesLeft - 8),
              17, BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 0, ids::autoStart, true, font_});
  fade_ = createControl(panel, {"BUTTON", "Fade out inverted selection", 8, 104,
                                fit("Fade out inverted selection", 20), 17, BS_AUTOCHECKBOX | WS_TABSTOP, 0,
                                ids::fade, true, font_});
  // Beside the fade box, in the only room the page has left on one line.
  allMonitors_ =
      createControl(panel, {"BUTTON", "Capture all monitors", 232, 104, fit("Capture all monitors", 20), 17,
                            BS_AUTOCHECKBOX | WS_TABSTOP, 0, ids::allMonitors, true, font_});
  // As designed: Alt+F2, JPEG, every box ticked, until the settings say otherwise.
  setHotKey(32881);
  setImageType(platform::ImageType::Jpeg);
  for (HWND box : {autoUpdate_, autoStart_, fade_, allMonitors_})
    ::SendMessageA(box, BM_SETCHECK, BST_CHECKED, 0);
  ::SetWindowSubclass(hotKey_, &MainWindow::subclassed, 1, reinterpret_cast<DWORD_PTR>(this));
  ::SetWindowSubclass(autoStart_, &MainWindow::subclassed, 2, reinterpret_cast<DWORD_PTR>(this));
}

void MainWindow::createAboutPage(HWND page) {
  // The feedback form opens over this page: clipped by it, nothing here paints over the form
  // (as a message box over both uncovers them again).
  createControl(page,
                {"STATIC", "You are running version:", 0, 2,
                 textWidth(page, font_, "You are running version:"), 13, WS_CLIPSIBLINGS, 0, 0, true, font_});
  version_ = createControl(
      page, {"STATIC", "", 149, 2, 30, 13, SS_RIGHT | WS_CLIPSIBLINGS, 0, ids::version, true, font_});
  memoAbout_ =
      createControl(page, {"EDIT", aboutText(), 0, 19, 385, 105,
                           ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL | WS_CLIPSIBLINGS,
                           WS_EX_CLIENTEDGE, ids::memoAbout, true, memoFont_});
  createControl(page, {"BUTTON", "Send Feedback", 272, 0, 113, 17,
                       BS_PUSHBUTTON | WS_TABSTOP | WS_CLIPSIBLINGS, 0, ids::sendFeedback, true, font_});
  ::SetWindowSubclass(memoAbout_, &MainWindow::subclassed, 3, reinterpret_cast<DWORD_PTR>(this));
}

void MainWindow::createFaqPage(HWND page) {
  ::LoadLibraryA("riched20.dll");
  faq_ = createControl(page, {"RichEdit20A", "", 0, 4, 385, 121, ES_MULTILINE | ES_READONLY | WS_VSCROLL,
                              WS_EX_CLIENTEDGE, ids::faq, true, font_});
  loadFaq(faq_);
  ::SetWindowSubclass(faq_, &MainWindow::subclassed, 4, reinterpret_cast<DWORD_PTR>(this));
}

} // namespace glimor::win32
