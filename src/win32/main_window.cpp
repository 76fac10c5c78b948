#include "win32/main_window.h"

#include "app/shortcut.h"
#include "win32/control_hook.h"
#include "win32/control_ids.h"
#include "win32/menu_mask.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <functional>

namespace glimor::win32 {

namespace {
constexpr UINT trayCallback = WM_USER + 1;
constexpr DWORD basicTrayRecordSize = 88; // the record with its 64-character tip
} // namespace

// ---- platform::MainView

bool MainWindow::visible() const {
  return ::IsWindowVisible(hwnd()) != 0;
}
void MainWindow::show() {
  ::ShowWindow(hwnd(), SW_SHOW);
}
void MainWindow::showInactive() {
  ::ShowWindow(hwnd(), SW_SHOWNA);
}
void MainWindow::hide() {
  ::ShowWindow(hwnd(), SW_HIDE);
}
void MainWindow::bringToFront() {
  ::SetWindowPos(hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::SetForegroundWindow(hwnd());
}
void MainWindow::repaintNow() {
  ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_ERASE);
}

void MainWindow::setActivePage(int page) {
  ::SendMessageA(tabs_, TCM_SETCURSEL, page, 0);
  showPage(page);
}

void MainWindow::showPage(int page) {
  for (int i = 0; i < 4; ++i) ::ShowWindow(pages_[i].hwnd(), i == page ? SW_SHOW : SW_HIDE);
}

void MainWindow::setStatus(int panel, const std::string& text) {
  // SendMessage: from another thread this runs on the window's thread and waits for it.
  ::SendMessageA(statusBar_, SB_SETTEXTA, panel, reinterpret_cast<LPARAM>(text.c_str()));
  // The line also goes to the debugger's output (DebugView; Wine's +debugstr channel), where a
  // recording's figures stay readable after the upload's lines have replaced them.
  if (panel == 0) ::OutputDebugStringA((text + "\n").c_str());
}

// The tooltip's one tool: status panel 1.
TTTOOLINFOA MainWindow::statusTool() const {
  TTTOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V1_SIZE;
  tool.hwnd = statusBar_;
  tool.uId = 1;
  return tool;
}

void MainWindow::setStatusTip(const std::string& text) {
  statusTipText_ = text;
  TTTOOLINFOA tool = statusTool();
  tool.lpszText = const_cast<char*>(statusTipText_.c_str());
  ::SendMessageA(statusTip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
}

// The panel's tooltip covers the panel, wherever the layout put it.
void MainWindow::placeStatusTip() {
  TTTOOLINFOA tool = statusTool();
  ::SendMessageA(statusBar_, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&tool.rect));
  ::SendMessageA(statusTip_, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
}

std::string MainWindow::status(int panel) const {
  LRESULT info = ::SendMessageA(statusBar_, SB_GETTEXTLENGTHA, panel, 0);
  std::string text(LOWORD(info) + 1, '\0');
  ::SendMessageA(statusBar_, SB_GETTEXTA, panel, reinterpret_cast<LPARAM>(text.data()));
  text.resize(std::strlen(text.c_str()));
  return text;
}

void MainWindow::setUploadFileName(const std::string& path) {
  ::SetWindowTextA(uploadFileField_, path.c_str());
}

std::string MainWindow::uploadFileName() const {
  std::string text(static_cast<std::size_t>(::GetWindowTextLengthA(uploadFileField_)) + 1, '\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextA(uploadFileField_, text.data(), static_cast<int>(text.size()))));
  return text;
}

void MainWindow::setVersionText(const std::string& text) {
  ::SetWindowTextA(version_, text.c_str());
}

void MainWindow::setLinkPanelVisible(bool visible) {
  ::ShowWindow(linkPanel_.hwnd(), visible ? SW_SHOW : SW_HIDE);
  ::RedrawWindow(linkPanel_.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void MainWindow::requestClose() {
  ::SendMessageA(hwnd(), WM_CLOSE, 0, 0);
}

// The control that had the focus when the window was left, if it can still take it; else the page tabs.
void MainWindow::restoreFocus() {
  HWND target = lastFocus_;
  if (!target || !::IsWindow(target) || !::IsWindowVisible(target) || !::IsWindowEnabled(target))
    target = tabs_;
  ::SetFocus(target);
}

// ---- platform::OptionControls

HWND MainWindow::checkBox(platform::CheckBox box) const {
  switch (box) {
  case platform::CheckBox::AutoUpdate:
    return autoUpdate_;
  case platform::CheckBox::AutoStart:
    return autoStart_;
  case platform::CheckBox::Fade:
    return fade_;
  case platform::CheckBox::AllMonitors:
    return allMonitors_;
  }
  return nullptr;
}

bool MainWindow::checked(platform::CheckBox box) const {
  return ::SendMessageA(checkBox(box), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::setChecked(platform::CheckBox box, bool checked) {
  ::SendMessageA(checkBox(box), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

platform::ImageType MainWindow::imageType() const {
  for (int i = 0; i < static_cast<int>(radios_.size()); ++i)
    if (::SendMessageA(radios_[i], BM_GETCHECK, 0, 0) == BST_CHECKED)
      return static_cast<platform::ImageType>(i + 1);
  return platform::ImageType::None;
}

void MainWindow::setImageType(platform::ImageType type) {
  for (int i = 0; i < static_cast<int>(radios_.size()); ++i)
    ::SendMessageA(radios_[i], BM_SETCHECK, static_cast<int>(type) == i + 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The hot key control's value as a shortcut value, and back.
namespace {
std::uint16_t shortcutOf(HWND control) {
  auto value = static_cast<WORD>(::SendMessageA(control, HKM_GETHOTKEY, 0, 0));
  return app::shortcutFromControl(LOBYTE(value), HIBYTE(value));
}
WPARAM controlValueOf(std::uint16_t shortcut) {
  return MAKEWORD(shortcut & 0xFF, (shortcut >> 13) & 7);
}
} // namespace

std::uint16_t MainWindow::hotKey() const {
  return shortcutOf(hotKey_);
}

void MainWindow::setHotKey(std::uint16_t shortcut) {
  settingControls_ = true;
  ::SendMessageA(hotKey_, HKM_SETHOTKEY, controlValueOf(shortcut), 0);
  settingControls_ = false;
}

std::uint16_t MainWindow::lastRegionHotKey() const {
  return shortcutOf(lastRegionHotKey_);
}

void MainWindow::setLastRegionHotKey(std::uint16_t shortcut) {
  settingControls_ = true;
  ::SendMessageA(lastRegionHotKey_, HKM_SETHOTKEY, controlValueOf(shortcut), 0);
  settingControls_ = false;
}

std::uint16_t MainWindow::recordHotKey() const {
  return shortcutOf(recordHotKey_);
}

void MainWindow::setRecordHotKey(std::uint16_t shortcut) {
  settingControls_ = true;
  ::SendMessageA(recordHotKey_, HKM_SETHOTKEY, controlValueOf(shortcut), 0);
  settingControls_ = false;
}

platform::RecordingType MainWindow::recordingType() const {
  return ::SendMessageA(recordingType_, CB_GETCURSEL, 0, 0) == 1 ? platform::RecordingType::WebM
                                                                 : platform::RecordingType::Gif;
}

void MainWindow::setRecordingType(platform::RecordingType type) {
  ::SendMessageA(recordingType_, CB_SETCURSEL, type == platform::RecordingType::WebM ? 1 : 0, 0);
}

std::string MainWindow::uploadToken() const {
  std::string text(static_cast<std::size_t>(::GetWindowTextLengthA(uploadToken_)) + 1, '\0');
  text.resize(
      static_cast<std::size_t>(::GetWindowTextA(uploadToken_, text.data(), static_cast<int>(text.size()))));
  return text;
}

void MainWindow::setUploadToken(const std::string& token) {
  ::SetWindowTextA(uploadToken_, token.c_str());
}

// ---- platform::Tray

bool MainWindow::add() {
  NOTIFYICONDATAA data{};
  data.cbSize = basicTrayRecordSize;
  data.hWnd = hwnd();
  data.uID = 0;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = trayCallback;
  data.hIcon = showingRecording_ && recordingIcon_ ? recordingIcon_
                                                   : ::LoadIconA(::GetModuleHandleA(nullptr), "MAINICON");
  std::strncpy(data.szTip, trayTip_.c_str(), 63);
  return ::Shell_NotifyIconA(NIM_ADD, &data) != 0;
}

void MainWindow::setTip(const std::string& tip) {
  trayTip_ = tip;
  NOTIFYICONDATAA data{};
  data.cbSize = basicTrayRecordSize;
  data.hWnd = hwnd();
  data.uID = 0;
  data.uFlags = NIF_TIP;
  std::strncpy(data.szTip, trayTip_.c_str(), 63);
  ::Shell_NotifyIconA(NIM_MODIFY, &data);
}

// A red dot over the program's icon while a recording runs, as recorders show it.
void MainWindow::showRecording(bool recording) {
  if (recording && !recordingIcon_) recordingIcon_ = makeRecordingIcon();
  NOTIFYICONDATAA data{};
  data.cbSize = basicTrayRecordSize;
  data.hWnd = hwnd();
  data.uID = 0;
  data.uFlags = NIF_ICON;
  data.hIcon =
      recording && recordingIcon_ ? recordingIcon_ : ::LoadIconA(::GetModuleHandleA(nullptr), "MAINICON");
  ::Shell_NotifyIconA(NIM_MODIFY, &data);
  showingRecording_ = recording;
}

// The shell keeps the tip's window while the icon lives; an icon taken away and added again has none.
void MainWindow::dismissTip() {
  remove();
  add();
}

void MainWindow::showBalloon(platform::BalloonIcon icon, const std::string& text) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V2_SIZE; // the record with the balloon's fields
  data.hWnd = hwnd();
  data.uID = 0;
  data.uFlags = NIF_INFO;
  std::strncpy(data.szInfo, text.c_str(), sizeof data.szInfo - 1);
  std::strncpy(data.szInfoTitle, "Glimor!", sizeof data.szInfoTitle - 1);
  data.dwInfoFlags = icon == platform::BalloonIcon::Error ? NIIF_ERROR : NIIF_INFO;
  data.uTimeout = 10000; // how long it stays, ms; the system keeps it within its own bounds
  // Without the icon (the notification area re-created) there is no balloon; the status bar
  // still has the text.
  ::Shell_NotifyIconA(NIM_MODIFY, &data);
}

void MainWindow::remove() {
  NOTIFYICONDATAA data{};
  data.cbSize = basicTrayRecordSize;
  data.hWnd = hwnd();
  data.uID = 0;
  ::Shell_NotifyIconA(NIM_DELETE, &data);
}

// Made anew each time it opens, with the upload history as it is then.
void MainWindow::buildTrayMenu(const platform::TrayMenu& menu) {
  if (trayMenu_) ::DestroyMenu(trayMenu_); // with its submenu
  trayMenu_ = ::CreatePopupMenu();
  ::AppendMenuA(trayMenu_, MF_STRING, ids::menuShow, "Show");
  ::AppendMenuA(trayMenu_, MF_STRING, ids::menuHide, "Hide");
  HMENU recent = ::CreatePopupMenu();
  for (std::size_t i = 0; i < menu.recentLinks.size() && i < ids::menuRecentCount; ++i) {
    // "&" marks a menu's access key; a link's own "&" is written twice to be shown as it is.
    std::string caption;
    for (char c : menu.recentLinks[i].label) caption += c == '&' ? "&&" : std::string(1, c);
    ::AppendMenuA(recent, MF_STRING, ids::menuRecentFirst + i, caption.c_str());
  }
  ::AppendMenuA(trayMenu_, MF_POPUP | (menu.recentLinks.empty() ? MF_GRAYED : 0),
                reinterpret_cast<UINT_PTR>(recent), "Recent links");
  ::AppendMenuA(trayMenu_, MF_STRING | (menu.canDeleteLast ? 0 : MF_GRAYED), ids::menuDeleteLast,
                "Delete last upload");
  // One row for the last capture's upload: called off while it runs, sent again after.
  if (menu.canCancelUpload)
    ::AppendMenuA(trayMenu_, MF_STRING, ids::menuCancelUpload, "Cancel upload");
  else
    ::AppendMenuA(trayMenu_, MF_STRING | (menu.canRetryUpload ? 0 : MF_GRAYED), ids::menuRetryUpload,
                  "Retry upload");
  ::AppendMenuA(trayMenu_, MF_STRING, ids::menuCaptureLastRegion, "Capture last region");
  ::AppendMenuA(trayMenu_, MF_STRING, ids::menuCaptureDelayed, "Capture in 3 seconds");
  if (menu.recording) {
    ::AppendMenuA(trayMenu_, MF_STRING, ids::menuStopRecording, "Stop recording");
    ::AppendMenuA(trayMenu_, MF_STRING, ids::menuDiscardRecording, "Discard recording");
  } else {
    ::AppendMenuA(trayMenu_, MF_STRING, ids::menuRecord, "Record a region");
  }
  ::AppendMenuA(trayMenu_, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuA(trayMenu_, MF_STRING, ids::menuExit, "Exit");
}

void MainWindow::showMenuAtCursor(const platform::TrayMenu& menu) {
  buildTrayMenu(menu);
  POINT at{};
  ::GetCursorPos(&at);
  // The menu closes when the user clicks elsewhere only if our window is in front.
  ::SetForegroundWindow(hwnd());
  ::TrackPopupMenu(trayMenu_, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd(), nullptr);
  ::PostMessageA(hwnd(), WM_NULL, 0, 0);
}

// ---- messages

void MainWindow::setNetworkClicks(NetworkClicks clicks) {
  onClick(openLink_, std::move(clicks.openLink));
  onClick(copyLink_, std::move(clicks.copyLink));
  onClick(checkForUpdates_, std::move(clicks.checkForUpdates));
  onClick(sendFeedback_, std::move(clicks.sendFeedback));
  onClick(feedback_.abortButton(), std::move(clicks.abortFeedback));
  onClick(feedback_.submitButton(), std::move(clicks.submitFeedback));
  onClick(chooseUploader_, std::move(clicks.chooseUploader));
}

void MainWindow::showUploadTarget(const std::string& text) {
  ::SetWindowTextA(uploadTarget_, text.c_str());
}

// The options and the hidden "Glimo it !" button.
void MainWindow::handleOptionClicks() {
  for (int i = 0; i < static_cast<int>(radios_.size()); ++i)
    onClick(radios_[i], [this, i] { form_->onImageTypeSelected(static_cast<platform::ImageType>(i + 1)); });
  onClick(fade_, [this] { form_->onFadeChanged(); });
  onClick(autoUpdate_, [this] { form_->onAutoUpdateChanged(); });
  onClick(allMonitors_, [this] { form_->onAllMonitorsChanged(); });
  // A text is the user's once the focus leaves it (the window closing included), not at every key.
  onCommand(uploadToken_, EN_KILLFOCUS, [this] { form_->onUploadTokenChanged(); });
  onCommand(hotKey_, EN_CHANGE, [this] {
    if (!settingControls_) form_->onHotKeyChanged();
  });
  onCommand(lastRegionHotKey_, EN_CHANGE, [this] {
    if (!settingControls_) form_->onLastRegionHotKeyChanged();
  });
  onCommand(recordHotKey_, EN_CHANGE, [this] {
    if (!settingControls_) form_->onRecordHotKeyChanged();
  });
  onCommand(recordingType_, CBN_SELCHANGE, [this] { form_->onRecordingTypeSelected(recordingType()); });
  onClick(uploadButton_, [this] { form_->onUploadButton(); });
  onClick(cancelUpload_, [this] { form_->cancelUpload(); });
  onClick(retryUpload_, [this] { form_->retryUpload(); });
}

// The tray menu's items.
void MainWindow::onMenuCommand(int id) {
  switch (id) {
  case ids::menuShow:
    form_->onTrayShow();
    break;
  case ids::menuHide:
    form_->onTrayHide();
    break;
  case ids::menuExit:
    form_->onTrayExit();
    break;
  case ids::menuDeleteLast:
    form_->onTrayDeleteLast();
    break;
  case ids::menuCancelUpload:
    form_->onTrayCancelUpload();
    break;
  case ids::menuRetryUpload:
    form_->onTrayRetryUpload();
    break;
  case ids::menuRecord:
    form_->onTrayRecord();
    break;
  case ids::menuStopRecording:
    form_->onTrayStopRecording();
    break;
  case ids::menuDiscardRecording:
    form_->onTrayDiscardRecording();
    break;
  case ids::menuCaptureLastRegion:
    form_->onTrayCaptureLastRegion();
    break;
  case ids::menuCaptureDelayed:
    form_->onTrayCaptureDelayed();
    break;
  default:
    if (id >= ids::menuRecentFirst && id < ids::menuRecentFirst + ids::menuRecentCount)
      form_->onTrayRecentLink(static_cast<std::size_t>(id - ids::menuRecentFirst));
    break;
  }
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_COMMAND: // the controls' commands have their handlers
    if (lParam == 0) onMenuCommand(LOWORD(wParam));
    return 0;
  case WM_NOTIFY: {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->hwndFrom == tabs_ && header->code == TCN_SELCHANGE)
      showPage(static_cast<int>(::SendMessageA(tabs_, TCM_GETCURSEL, 0, 0)));
    return 0;
  }
  case WM_SIZE:
    ::SendMessageA(statusBar_, WM_SIZE, 0, 0);
    placeStatusTip();
    return 0;
  case WM_ACTIVATE:
    // As a dialog does: the focus leaves with the window and comes back to where it was.
    if (LOWORD(wParam) == WA_INACTIVE) {
      HWND focus = ::GetFocus();
      if (focus && ::IsChild(hwnd(), focus)) lastFocus_ = focus;
    } else if (!HIWORD(wParam)) {
      restoreFocus();
    }
    return 0;
  case WM_NEXTDLGCTL: {
    // Sent by the dialog keys of the message loop: the next (or previous) control, or a given one.
    HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                               : ::GetNextDlgTabItem(hwnd(), ::GetFocus(), wParam != 0);
    if (next) {
      ::SetFocus(next);
      // A text entered with Tab is selected whole, as in a dialog.
      if (::SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) ::SendMessageA(next, EM_SETSEL, 0, -1);
    }
    return 0;
  }
  case WM_DPICHANGED:
    fitToDpi(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
    return 0;
  case WM_HOTKEY:
    keepMenuBarClosed(LOWORD(lParam));
    form_->onHotKey(static_cast<std::uint16_t>(wParam));
    return 0;
  case trayCallback:
    form_->onTrayNotify(static_cast<unsigned>(lParam));
    return 0;
  case WM_CLOSE:
    if (form_->closeQuery()) {
      if (beforeQuit_) beforeQuit_();
      ::DestroyWindow(hwnd());
    }
    return 0;
  case WM_DESTROY:
    form_->destroy();
    ::PostQuitMessage(0);
    return 0;
  default:
    return Window::handle(message, wParam, lParam);
  }
}

// ---- the hooked controls

void MainWindow::hookControls() {
  hookControl(hotKey_, std::bind_front(&MainWindow::hotKeyMessage, this));
  hookControl(lastRegionHotKey_, std::bind_front(&MainWindow::hotKeyMessage, this));
  hookControl(recordHotKey_, std::bind_front(&MainWindow::hotKeyMessage, this));
  hookControl(autoStart_, std::bind_front(&MainWindow::autoStartMessage, this));
  hookControl(memoAbout_, std::bind_front(&MainWindow::readOnlyTextMessage, this));
  hookControl(faq_, std::bind_front(&MainWindow::readOnlyTextMessage, this));
}

// The hot key control tells the form when it takes and loses the focus. The form's handlers of
// the hooked controls run under the error report of their own, so the control still does its part.
LRESULT MainWindow::hotKeyMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETFOCUS) {
    // A modifier pressed while the control had the focus but let go after Tab took it away
    // would still count as held: it is let go here, unless it really is down.
    for (int key : {VK_SHIFT, VK_CONTROL, VK_MENU})
      if (!(::GetKeyState(key) & 0x8000))
        callControl(control, WM_KEYUP, static_cast<WPARAM>(key), 0xC0000001);
    guarded([this] { form_->onHotKeyFocus(); });
  }
  if (message == WM_KILLFOCUS)
    guarded([this, control] {
      if (control == lastRegionHotKey_)
        form_->onLastRegionHotKeyBlur();
      else if (control == recordHotKey_)
        form_->onRecordHotKeyBlur();
      else
        form_->onHotKeyBlur();
    });
  return callControl(control, message, wParam, lParam);
}

// "Start with Windows" is applied on the mouse's release over it, and on Space's release.
LRESULT MainWindow::autoStartMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  // Space toggles the box on its release; that toggle is applied as a click of the mouse is.
  const bool keyToggle = message == WM_KEYUP && wParam == VK_SPACE;
  const LRESULT checkedBefore = keyToggle ? ::SendMessageA(control, BM_GETCHECK, 0, 0) : 0;
  LRESULT result = callControl(control, message, wParam, lParam);
  if (keyToggle && ::SendMessageA(control, BM_GETCHECK, 0, 0) != checkedBefore)
    guarded([this] { form_->onAutoStartKeyToggle(); });
  if (message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP) {
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    RECT box{};
    ::GetClientRect(control, &box);
    if (::PtInRect(&box, at)) guarded([this] { form_->onAutoStartMouseUp(); });
  }
  return result;
}

// The About and FAQ texts are read only and pass the focus on to the page tabs.
LRESULT MainWindow::readOnlyTextMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETFOCUS) {
    ::SetFocus(tabs_);
    return 0;
  }
  if (message == WM_CHAR) return 0;
  return callControl(control, message, wParam, lParam);
}

} // namespace glimor::win32
