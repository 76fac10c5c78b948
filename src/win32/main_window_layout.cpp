// The main window's controls, placed as the window is designed (client 397 x 180 at 96 dpi).
#include "app/shortcut.h"
#include "os/win32/wide_text.h"
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

constexpr int clientWidth = 397, clientHeight = 222;
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
  HRSRC found = ::FindResourceW(nullptr, L"faq", MAKEINTRESOURCEW(10)); // RT_RCDATA
  if (!found) return;
  HGLOBAL loaded = ::LoadResource(nullptr, found);
  std::pair<const char*, DWORD> rest{static_cast<const char*>(::LockResource(loaded)),
                                     ::SizeofResource(nullptr, found)};
  EDITSTREAM stream{};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&rest);
  stream.pfnCallback = readRtf;
  ::SendMessageW(richEdit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
}

} // namespace

void MainWindow::createWindow(HWND owner, app::MainForm& form, std::function<void()> beforeQuit) {
  form_ = &form;
  beforeQuit_ = std::move(beforeQuit);
  registerClass("GlimorMain", 0, nullptr, ::LoadIconW(::GetModuleHandleW(nullptr), L"MAINICON"));
  Window::create("GlimorMain", "Glimor", style, WS_EX_CONTROLPARENT, 0, 0, clientWidth, clientHeight, owner);
  createControls(form.settings().serviceHost());
  handleOptionClicks();
  hookControls();
  layout_.record(hwnd());
  fitToDpi(dpiOf(hwnd()), nullptr);
}

// At a new resolution the window takes the place Windows suggests; at first it is centred.
void MainWindow::fitToDpi(int dpi, const RECT* suggested) {
  layout_.apply(dpi);
  int parts[] = {scaled(260, dpi), -1}; // the last part runs to the right edge
  ::SendMessageW(statusBar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  if (suggested) {
    ::SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    SIZE frame = frameFor(clientWidth, clientHeight, style, WS_EX_CONTROLPARENT, dpi);
    int x = (::GetSystemMetrics(SM_CXSCREEN) - frame.cx) / 2,
        y = (::GetSystemMetrics(SM_CYSCREEN) - frame.cy) / 2;
    ::SetWindowPos(hwnd(), nullptr, x, y, frame.cx, frame.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::SendMessageW(statusBar_, WM_SIZE, 0, 0);
  placeStatusTip();
}

void MainWindow::createControls(const std::string& serviceHost) {
  font_ = createFont("MS Sans Serif", 8);
  boldFont_ = createFont("MS Sans Serif", 8, true);
  memoFont_ = createFont("Verdana", 9);
  HWND self = hwnd();

  tabs_ = createControl(self, {.className = "SysTabControl32",
                               .x = 2,
                               .y = 4,
                               .width = 393,
                               .height = 195,
                               .style = WS_CLIPSIBLINGS | WS_TABSTOP,
                               .id = ids::tabs,
                               .font = font_});
  const wchar_t* captions[] = {L"Glimoed Links", L"Options", L"About", L"FAQ"};
  for (int i = 0; i < 4; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(captions[i]);
    ::SendMessageW(tabs_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  // Pages sit over the tab control's display area, which is 385 x 167.
  RECT area{0, 0, 393, 195};
  ::SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  for (int i = 0; i < 4; ++i) {
    pages_[i].create(self, self, 2 + area.left, 4 + area.top, 385, 167, i == 0);
    ::SetWindowPos(pages_[i].hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
  createLinksPage(pages_[0].hwnd(), serviceHost);
  createOptionsPage(pages_[1].hwnd());
  createAboutPage(pages_[2].hwnd());
  createFaqPage(pages_[3].hwnd());

  statusBar_ = createControl(
      self, {.className = "msctls_statusbar32", .height = 19, .id = ids::statusBar, .font = font_});
  statusTip_ =
      ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0,
                        0, 0, 0, self, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW tool = statusTool();
  tool.uFlags = TTF_SUBCLASS;
  tool.lpszText = const_cast<wchar_t*>(L"");
  ::SendMessageW(statusTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  ::SendMessageW(statusTip_, TTM_SETMAXTIPWIDTH, 0, 400);

  // The hidden field and button through which a capture reaches the upload.
  uploadFileField_ = createControl(
      self,
      {.className = "EDIT", .style = ES_AUTOHSCROLL, .id = ids::uploadFile, .visible = false, .font = font_});
  uploadButton_ = createControl(self, {.className = "BUTTON",
                                       .text = "Glimo it !",
                                       .style = BS_PUSHBUTTON,
                                       .id = ids::uploadButton,
                                       .visible = false,
                                       .font = font_});
}

void MainWindow::createLinksPage(HWND page, const std::string& serviceHost) {
  hotKeyName_ = app::shortcutName(app::defaultShortcut);
  destination_ = net::ServiceEndpoints(serviceHost).baseUrl();
  // Eight lines of 13 pixels and one to spare for a long hot key name, centred on the page as wide
  // as it is, so a wider or taller face (the one scaled text uses) neither wraps a short line nor
  // cuts the last one off. The core names the hot key in force once it is registered.
  helpText_ = createControl(page, {.text = linksPageText(hotKeyName_, destination_),
                                   .x = 8,
                                   .y = 4,
                                   .width = 369,
                                   .height = 117,
                                   .style = SS_CENTER,
                                   .id = ids::helpText,
                                   .font = boldFont_});
  HWND panel = linkPanel_.create(page, hwnd(), 0, 0, 385, 125, false, true);
  createControl(panel, {.text = "Direct Link:", .x = 8, .y = 16, .width = 80, .height = 13, .font = font_});
  HWND directLink = createControl(panel, {.className = "EDIT",
                                          .x = 8,
                                          .y = 32,
                                          .width = 369,
                                          .height = 19,
                                          .style = ES_AUTOHSCROLL | WS_TABSTOP,
                                          .exStyle = WS_EX_CLIENTEDGE,
                                          .id = ids::directLink,
                                          .font = font_});
  auto button = [&](const char* caption, int x, int id) {
    return createControl(panel, {.className = "BUTTON",
                                 .text = caption,
                                 .x = x,
                                 .y = 56,
                                 .width = 113,
                                 .height = 25,
                                 .style = BS_PUSHBUTTON | WS_TABSTOP,
                                 .id = id,
                                 .font = font_});
  };
  openLink_ = button("Open Link", 136, ids::openLink);
  copyLink_ = button("Copy to ClipBoard", 264, ids::copyLink);
  retryUpload_ = button("Retry upload", 8, ids::retryUpload);
  // The busy animation and the upload's Cancel sit under the link panel, which hides them once shown.
  busy_.createWindow(page, 144, 48, 97, 17);
  cancelUpload_ = createControl(page, {.className = "BUTTON",
                                       .text = "Cancel upload",
                                       .x = 136,
                                       .y = 72,
                                       .width = 113,
                                       .height = 25,
                                       .style = BS_PUSHBUTTON | WS_TABSTOP,
                                       .id = ids::cancelUpload,
                                       .visible = false,
                                       .font = font_});
  linkPage_.emplace(directLink, helpText_, busy_, cancelUpload_);
}

void MainWindow::setHotKeyName(const std::string& name) {
  hotKeyName_ = name;
  setWindowText(helpText_, linksPageText(hotKeyName_, destination_));
}

// Three columns, labels on the left: the hot key and the file types in the middle, updates and the
// upload token on the right, and the four boxes in two columns below. Every caption gets room beside
// it, since the layout widens a control to its caption at every resolution (see DpiLayout).
void MainWindow::createOptionsPage(HWND page) {
  HWND panel = optionsPanel_.create(page, hwnd(), 0, 0, 385, 167, true, true);
  constexpr int middle = 140, right = 272, rightWidth = 105, lower = 112, boxesRight = 208;
  auto fit = [&](const std::string& text, int box) { return textWidth(panel, font_, text) + box; };
  auto label = [&](const char* text, int x, int y) {
    createControl(panel, {.text = text, .x = x, .y = y, .width = fit(text, 2), .height = 13, .font = font_});
  };
  auto box = [&](const char* caption, int x, int y, DWORD style, int id) {
    return createControl(panel, {.className = "BUTTON",
                                 .text = caption,
                                 .x = x,
                                 .y = y,
                                 .width = fit(caption, 20),
                                 .height = 15,
                                 .style = style,
                                 .id = id,
                                 .font = font_});
  };
  // A hot key control that takes any combination; the form refuses what cannot be registered.
  auto hotKeyControl = [&](int x, int y, DWORD group, int id) {
    HWND control = createControl(panel, {.className = "msctls_hotkey32",
                                         .x = x,
                                         .y = y,
                                         .width = 121,
                                         .height = 19,
                                         .style = WS_TABSTOP | group,
                                         .exStyle = WS_EX_CLIENTEDGE,
                                         .id = id,
                                         .font = font_});
    ::SendMessageW(control, HKM_SETRULES, 0, 0);
    return control;
  };
  label("HotKey Combination:", 8, 9);
  hotKey_ = hotKeyControl(middle, 6, 0, ids::hotKey);
  checkForUpdates_ = createControl(panel, {.className = "BUTTON",
                                           .text = "Check for updates",
                                           .x = 264,
                                           .y = 6,
                                           .width = 113,
                                           .height = 19,
                                           .style = BS_PUSHBUTTON | WS_TABSTOP,
                                           .id = ids::checkForUpdates,
                                           .font = font_});
  label("Select file type:", 8, 31);
  const char* types[] = {"JPEG Image (.jpg)", "Bitmap (.bmp)", "GIF Image (.gif)", "PNG Image (.png)"};
  for (int i = 0; i < static_cast<int>(radios_.size()); ++i)
    radios_[i] =
        box(types[i], middle, 28 + 15 * i,
            static_cast<DWORD>(BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0)), ids::jpeg + i);
  // The second hot key under the file type's label, where the left column has room.
  label("Last region hot key:", 8, 51);
  lastRegionHotKey_ = hotKeyControl(8, 66, WS_GROUP, ids::lastRegionHotKey);
  label("Upload token:", right, 31);
  uploadToken_ = createControl(panel, {.className = "EDIT",
                                       .x = right,
                                       .y = 46,
                                       .width = rightWidth,
                                       .height = 19,
                                       .style = ES_AUTOHSCROLL | ES_PASSWORD | WS_TABSTOP | WS_GROUP,
                                       .exStyle = WS_EX_CLIENTEDGE,
                                       .id = ids::uploadToken,
                                       .font = font_});
  ::SendMessageW(uploadToken_, EM_LIMITTEXT, 2047, 0); // what Glimor.ini gives back whole
  // "Record a region": its hot key in the middle row, what it is written as on the right.
  label("Record hot key:", 8, 93);
  recordHotKey_ = hotKeyControl(middle, 90, WS_GROUP, ids::recordHotKey);
  label("Recording type:", right, 72);
  recordingType_ = createControl(panel, {.className = "COMBOBOX",
                                         .x = right,
                                         .y = 88,
                                         .width = rightWidth,
                                         .height = 60,
                                         .style = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP,
                                         .id = ids::recordingType,
                                         .font = font_});
  for (const wchar_t* type : {L"GIF (.gif)", L"WebM (.webm)"})
    ::SendMessageW(recordingType_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(type));
  ::SendMessageW(recordingType_, CB_SETCURSEL, 0, 0);
  autoStart_ = box("Start with Windows", 8, lower, BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, ids::autoStart);
  autoUpdate_ = box("Update on load", boxesRight, lower, BS_AUTOCHECKBOX | WS_TABSTOP, ids::autoUpdate);
  fade_ = box("Fade out inverted selection", 8, lower + 15, BS_AUTOCHECKBOX | WS_TABSTOP, ids::fade);
  allMonitors_ =
      box("Capture all monitors", boxesRight, lower + 15, BS_AUTOCHECKBOX | WS_TABSTOP, ids::allMonitors);
  // Where uploads go, in a row of its own under the boxes: the uploader file's name or the service,
  // and the button that picks a file. The name may be long: it ends in "..." where it is cut.
  uploadTarget_ = createControl(panel, {.text = "Upload to:",
                                        .x = 8,
                                        .y = 150,
                                        .width = 270,
                                        .height = 13,
                                        .style = SS_ENDELLIPSIS | SS_NOPREFIX,
                                        .font = font_});
  chooseUploader_ = createControl(panel, {.className = "BUTTON",
                                          .text = "Uploader file...",
                                          .x = 284,
                                          .y = 146,
                                          .width = 93,
                                          .height = 19,
                                          .style = BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP,
                                          .id = ids::chooseUploader,
                                          .font = font_});
  // As designed: Alt+F2, JPEG, every box ticked, until the settings say otherwise.
  setHotKey(32881);
  setImageType(platform::ImageType::Jpeg);
  for (HWND ticked : {autoUpdate_, autoStart_, fade_, allMonitors_})
    ::SendMessageW(ticked, BM_SETCHECK, BST_CHECKED, 0);
}

void MainWindow::createAboutPage(HWND page) {
  // The feedback form opens over this page: clipped by it, nothing here paints over the form
  // (as a message box over both uncovers them again).
  createControl(page, {.text = "You are running version:",
                       .x = 0,
                       .y = 2,
                       .width = textWidth(page, font_, "You are running version:"),
                       .height = 13,
                       .style = WS_CLIPSIBLINGS,
                       .font = font_});
  version_ = createControl(page, {.x = 149,
                                  .y = 2,
                                  .width = 30,
                                  .height = 13,
                                  .style = SS_RIGHT | WS_CLIPSIBLINGS,
                                  .id = ids::version,
                                  .font = font_});
  memoAbout_ = createControl(
      page, {.className = "EDIT",
             .text = aboutText(),
             .x = 0,
             .y = 19,
             .width = 385,
             .height = 105,
             .style = ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL | WS_CLIPSIBLINGS,
             .exStyle = WS_EX_CLIENTEDGE,
             .id = ids::memoAbout,
             .font = memoFont_});
  sendFeedback_ = createControl(page, {.className = "BUTTON",
                                       .text = "Send Feedback",
                                       .x = 272,
                                       .y = 0,
                                       .width = 113,
                                       .height = 17,
                                       .style = BS_PUSHBUTTON | WS_TABSTOP | WS_CLIPSIBLINGS,
                                       .id = ids::sendFeedback,
                                       .font = font_});
  feedback_.create(page, hwnd(), sendFeedback_, font_);
}

void MainWindow::createFaqPage(HWND page) {
  ::LoadLibraryW(L"riched20.dll");
  faq_ = createControl(page, {.className = "RichEdit20W",
                              .x = 0,
                              .y = 4,
                              .width = 385,
                              .height = 121,
                              .style = ES_MULTILINE | ES_READONLY | WS_VSCROLL,
                              .exStyle = WS_EX_CLIENTEDGE,
                              .id = ids::faq,
                              .font = font_});
  loadFaq(faq_);
}

} // namespace glimor::win32
