#include "win32/main_window.h"

#include "app/shortcut.h"
#include "os/win32/wide_text.h"
#include "win32/control_hook.h"
#include "win32/control_ids.h"
#include "win32/controls.h"
#include "win32/menu_mask.h"
#include "win32/product_copy.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <functional>

namespace glimor::win32 {

namespace {
constexpr UINT trayCallback = WM_USER + 1;
constexpr DWORD basicTrayRecordSize = NOTIFYICONDATAW_V1_SIZE; // the record with its 64-character tip

// The text as much of it as fits the record's field, with its terminating zero.
template <std::size_t N> void copyTruncated(wchar_t (&field)[N], const std::string& text) {
  std::wstring wide = widenShown(text);
  std::size_t length = std::min(wide.size(), N - 1);
  // A character of two units is kept whole or left out.
  if (length > 0 && length < wide.size() && wide[length - 1] >= 0xD800 && wide[length - 1] <= 0xDBFF)
    --length;
  std::copy_n(wide.begin(), length, field);
  field[length] = L'\0';
}
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
  ::SendMessageW(tabs_, TCM_SETCURSEL, page, 0);
  showPage(page);
}

void MainWindow::showPage(int page) {
  for (int i = 0; i < 4; ++i) ::ShowWindow(pages_[i].hwnd(), i == page ? SW_SHOW : SW_HIDE);
}

void MainWindow::setStatus(int panel, const std::string& text) {
  // SendMessage: from another thread this runs on the window's thread and waits for it.
  const std::wstring shown = widenShown(text);
  ::SendMessageW(statusBar_, SB_SETTEXTW, panel, reinterpret_cast<LPARAM>(shown.c_str()));
  // The line also goes to the debugger's output (DebugView; Wine's +debugstr channel), where a
  // recording's figures stay readable after the upload's lines have replaced them. The bytes as
  // they are: Wine traces the narrow form only.
  if (panel == 0) ::OutputDebugStringA((text + "\n").c_str());
}

// The tooltip's one tool: status panel 1.
TTTOOLINFOW MainWindow::statusTool() const {
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V1_SIZE;
  tool.hwnd = statusBar_;
  tool.uId = 1;
  return tool;
}

void MainWindow::setStatusTip(const std::string& text) {
  statusTipText_ = widenShown(text);
  TTTOOLINFOW tool = statusTool();
  tool.lpszText = statusTipText_.data();
  ::SendMessageW(statusTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

// The panel's tooltip covers the panel, wherever the layout put it.
void MainWindow::placeStatusTip() {
  TTTOOLINFOW tool = statusTool();
  ::SendMessageW(statusBar_, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&tool.rect));
  ::SendMessageW(statusTip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
}

std::string MainWindow::status(int panel) const {
  LRESULT info = ::SendMessageW(statusBar_, SB_GETTEXTLENGTHW, panel, 0);
  std::wstring text(LOWORD(info) + 1, L'\0');
  ::SendMessageW(statusBar_, SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(text.data()));
  text.resize(std::wcslen(text.c_str()));
  return narrow(text);
}

void MainWindow::setUploadFileName(const std::string& path) {
  setWindowText(uploadFileField_, path);
}

std::string MainWindow::uploadFileName() const {
  return windowText(uploadFileField_);
}

void MainWindow::setVersionText(const std::string& text) {
  setWindowText(version_, text);
}

void MainWindow::setLinkPanelVisible(bool visible) {
  ::ShowWindow(linkPanel_.hwnd(), visible ? SW_SHOW : SW_HIDE);
  ::RedrawWindow(linkPanel_.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void MainWindow::requestClose() {
  ::SendMessageW(hwnd(), WM_CLOSE, 0, 0);
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
  return ::SendMessageW(checkBox(box), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::setChecked(platform::CheckBox box, bool checked) {
  ::SendMessageW(checkBox(box), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

platform::ImageType MainWindow::imageType() const {
  for (int i = 0; i < static_cast<int>(radios_.size()); ++i)
    if (::SendMessageW(radios_[i], BM_GETCHECK, 0, 0) == BST_CHECKED)
      return static_cast<platform::ImageType>(i + 1);
  return platform::ImageType::None;
}

void MainWindow::setImageType(platform::ImageType type) {
  for (int i = 0; i < static_cast<int>(radios_.size()); ++i)
    ::SendMessageW(radios_[i], BM_SETCHECK, static_cast<int>(type) == i + 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The hot key control's value as a shortcut value, and back.
namespace {
std::uint16_t shortcutOf(HWND control) {
  auto value = static_cast<WORD>(::SendMessageW(control, HKM_GETHOTKEY, 0, 0));
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
  ::SendMessageW(hotKey_, HKM_SETHOTKEY, controlValueOf(shortcut), 0);
  settingControls_ = false;
}

std::uint16_t MainWindow::lastRegionHotKey() const {
  return shortcutOf(lastRegionHotKey_);
}

void MainWindow::setLastRegionHotKey(std::uint16_t shortcut) {
  settingControls_ = true;
  ::SendMessageW(lastRegionHotKey_, HKM_SETHOTKEY, controlValueOf(shortcut), 0);
  settingControls_ = false;
}

std::uint16_t MainWindow::recordHotKey() const {
  return shortcutOf(recordHotKey_);
}

void MainWindow::setRecordHotKey(std::uint16_t shortcut) {
  settingControls_ = true;
  ::SendMessageW(recordHotKey_, HKM_SETHOTKEY, controlValueOf(shortcut), 0);
  settingControls_ = false;
}

platform::RecordingType MainWindow::recordingType() const {
  return ::SendMessageW(recordingType_, CB_GETCURSEL, 0, 0) == 1 ? platform::RecordingType::WebM
                                                                 : platform::RecordingType::Gif;
}

void MainWindow::setRecordingType(platform::RecordingType type) {
  ::SendMessageW(recordingType_, CB_SETCURSEL, type == platform::RecordingType::WebM ? 1 : 0, 0);
}

std::string MainWindow::uploadToken() const {
  return windowText(uploadToken_);
}

void MainWindow::setUploadToken(const std::string& token) {
  setWindowText(uploadToken_, token);
}

// ---- platform::Tray

bool MainWindow::add() {
  NOTIFYICONDATAW data{};
  data.cbSize = basicTrayRecordSize;
  data.hWnd = hwnd();
  data.uID = 0;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = trayCallback;
  data.hIcon = showingRecording_ && recordingIcon_ ? recordingIcon_
                                                   : ::LoadIconW(::GetModuleHandleW(nullptr), L"MAINICON");
  copyTruncated(data.szTip, trayTip_);
  return ::Shell_NotifyIconW(NIM_ADD, &data) != 0;
}

void MainWindow::setTip(const std::string& tip) {
  trayTip_ = tip;
  NOTIFYICONDATAW data{};
  data.cbSize = basicTrayRecordSize;
  data.hWnd = hwnd();
  data.uID = 0;
  data.uFlags = NIF_TIP;
  copyTruncated(data.szTip, trayTip_);
  ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

// A red dot over the program's icon while a recording runs, as recorders show it.
void MainWindow::showRecording(bool recording) {
  if (recording && !recordingIcon_) recordingIcon_ = makeRecordingIcon();
  NOTIFYICONDATAW data{};
  data.cbSize = basicTrayRecordSize;
  data.hWnd = hwnd();
  data.uID = 0;
  data.uFlags = NIF_ICON;
  data.hIcon =
      recording && recordingIcon_ ? recordingIcon_ : ::LoadIconW(::GetModuleHandleW(nullptr), L"MAINICON");
  ::Shell_NotifyIconW(NIM_MODIFY, &data);
  showingRecording_ = recording;
}

// The shell keeps the tip's window while the icon lives; an icon taken away and added again has none.
void MainWindow::dismissTip() {
  remove();
  add();
}

void MainWindow::showBalloon(platform::BalloonIcon icon, const std::string& text) {
  NOTIFYICONDATAW data{};
  data.cbSize = NOTIFYICONDATAW_V2_SIZE; // the record with the balloon's fields
  data.hWnd = hwnd();
  data.uID = 0;
  data.uFlags = NIF_INFO;
  copyTruncated(data.szInfo, text);
  copyTruncated(data.szInfoTitle, "Glimor!");
  data.dwInfoFlags = icon == platform::BalloonIcon::Error ? NIIF_ERROR : NIIF_INFO;
  data.uTimeout = 10000; // how long it stays, ms; the system keeps it within its own bounds
  // Without the icon (the notification area re-created) there is no balloon; the status bar
  // still has the text.
  ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

void MainWindow::remove() {
  NOTIFYICONDATAW data{};
  data.cbSize = basicTrayRecordSize;
  data.hWnd = hwnd();
  data.uID = 0;
  ::Shell_NotifyIconW(NIM_DELETE, &data);
}

// Made anew each time it opens, with the upload history as it is then.
void MainWindow::buildTrayMenu(const platform::TrayMenu& menu) {
  if (trayMenu_) ::DestroyMenu(trayMenu_); // with its submenu
  trayMenu_ = ::CreatePopupMenu();
  ::AppendMenuW(trayMenu_, MF_STRING, ids::menuShow, L"Show");
  ::AppendMenuW(trayMenu_, MF_STRING, ids::menuHide, L"Hide");
  HMENU recent = ::CreatePopupMenu();
  for (std::size_t i = 0; i < menu.recentLinks.size() && i < ids::menuRecentCount; ++i) {
    // "&" marks a menu's access key; a link's own "&" is written twice to be shown as it is.
    std::string caption;
    for (char c : menu.recentLinks[i].label) caption += c == '&' ? "&&" : std::string(1, c);
    ::AppendMenuW(recent, MF_STRING, ids::menuRecentFirst + i, widenShown(caption).c_str());
  }
  ::AppendMenuW(trayMenu_, MF_POPUP | (menu.recentLinks.empty() ? MF_GRAYED : 0),
                reinterpret_cast<UINT_PTR>(recent), L"Recent links");
  ::AppendMenuW(trayMenu_, MF_STRING | (menu.canDeleteLast ? 0 : MF_GRAYED), ids::menuDeleteLast,
                L"Delete last upload");
  // One row for the last capture's upload: called off while it runs, sent again after.
  if (menu.canCancelUpload)
    ::AppendMenuW(trayMenu_, MF_STRING, ids::menuCancelUpload, L"Cancel upload");
  else
    ::AppendMenuW(trayMenu_, MF_STRING | (menu.canRetryUpload ? 0 : MF_GRAYED), ids::menuRetryUpload,
                  L"Retry upload");
  ::AppendMenuW(trayMenu_, MF_STRING, ids::menuCaptureLastRegion, L"Capture last region");
  ::AppendMenuW(trayMenu_, MF_STRING, ids::menuCaptureDelayed, L"Capture in 3 seconds");
  if (menu.recording) {
    ::AppendMenuW(trayMenu_, MF_STRING, ids::menuStopRecording, L"Stop recording");
    ::AppendMenuW(trayMenu_, MF_STRING, ids::menuDiscardRecording, L"Discard recording");
  } else {
    ::AppendMenuW(trayMenu_, MF_STRING, ids::menuRecord, L"Record a region");
  }
  ::AppendMenuW(trayMenu_, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(trayMenu_, MF_STRING, ids::menuExit, L"Exit");
}

void MainWindow::showMenuAtCursor(const platform::TrayMenu& menu) {
  buildTrayMenu(menu);
  POINT at{};
  ::GetCursorPos(&at);
  // The menu closes when the user clicks elsewhere only if our window is in front.
  ::SetForegroundWindow(hwnd());
  ::TrackPopupMenu(trayMenu_, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd(), nullptr);
  ::PostMessageW(hwnd(), WM_NULL, 0, 0);
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

void MainWindow::showUploadTarget(const std::string& line, const std::string& destination) {
  setWindowText(uploadTarget_, line);
  destination_ = destination;
  setWindowText(helpText_, linksPageText(hotKeyName_, destination_));
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
      showPage(static_cast<int>(::SendMessageW(tabs_, TCM_GETCURSEL, 0, 0)));
    return 0;
  }
  case WM_SIZE:
    ::SendMessageW(statusBar_, WM_SIZE, 0, 0);
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
      if (::SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) ::SendMessageW(next, EM_SETSEL, 0, -1);
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
  const LRESULT checkedBefore = keyToggle ? ::SendMessageW(control, BM_GETCHECK, 0, 0) : 0;
  LRESULT result = callControl(control, message, wParam, lParam);
  if (keyToggle && ::SendMessageW(control, BM_GETCHECK, 0, 0) != checkedBefore)
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
