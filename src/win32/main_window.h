#pragma once
#include "app/main_form.h"
#include "net/upload_target.h"
#include "platform/link_page.h"
#include "platform/main_view.h"
#include "platform/option_controls.h"
#include "platform/tray.h"
#include "win32/busy_indicator.h"
#include "win32/container.h"
#include "win32/dpi_layout.h"
#include "win32/feedback_group.h"
#include "win32/link_page_controls.h"
#include "win32/recording_icon.h"
#include "win32/update_window.h"
#include "win32/window.h"

#include <commctrl.h>

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace glimor::win32 {

// The main window: the four pages with every control on them, the status bar, the tray icon and the hot
// key's window. The network features reach its controls through the views it hands out.
class MainWindow final : public Window,
                         public platform::MainView,
                         public platform::OptionControls,
                         public platform::Tray,
                         public net::UploadTargetView {
public:
  // What the buttons whose work lies with the network features run when clicked.
  struct NetworkClicks {
    std::function<void()> openLink, copyLink, checkForUpdates, sendFeedback, abortFeedback, submitFeedback,
        chooseUploader;
  };

  // Creates the window and all its controls (hidden), laid out for its monitor; `form` decides what
  // they do, and `beforeQuit` runs when the user has agreed to quit, before the window goes.
  void createWindow(HWND owner, app::MainForm& form, std::function<void()> beforeQuit);
  void setNetworkClicks(NetworkClicks clicks);

  platform::LinkPage& linkPage() { return *linkPage_; }
  net::FeedbackView& feedbackForm() { return feedback_; }
  net::UpdateView& updateTexts() { return updateTexts_; }
  // The tooltip of status panel 1: the whole text behind the short one it shows.
  void setStatusTip(const std::string& text);

  // platform::MainView
  bool visible() const override;
  void show() override;
  void showInactive() override;
  void hide() override;
  void bringToFront() override;
  void repaintNow() override;
  void setActivePage(int page) override;
  void setStatus(int panel, const std::string& text) override;
  std::string status(int panel) const override;
  void setUploadFileName(const std::string& path) override;
  std::string uploadFileName() const override;
  void setVersionText(const std::string& text) override;
  void setHotKeyName(const std::string& name) override; // in the help text
  void setLinkPanelVisible(bool visible) override;
  void requestClose() override;

  // platform::OptionControls
  bool checked(platform::CheckBox box) const override;
  void setChecked(platform::CheckBox box, bool checked) override;
  platform::ImageType imageType() const override;
  void setImageType(platform::ImageType type) override;
  std::uint16_t hotKey() const override;
  void setHotKey(std::uint16_t shortcut) override;
  std::uint16_t lastRegionHotKey() const override;
  void setLastRegionHotKey(std::uint16_t shortcut) override;
  std::uint16_t recordHotKey() const override;
  void setRecordHotKey(std::uint16_t shortcut) override;
  platform::RecordingType recordingType() const override;
  void setRecordingType(platform::RecordingType type) override;
  std::string uploadToken() const override;
  void setUploadToken(const std::string& token) override;

  // net::UploadTargetView: the Options page's "Upload to:" line.
  void showUploadTarget(const std::string& line, const std::string& destination) override;

  // platform::Tray
  bool add() override;
  void remove() override;
  void showMenuAtCursor(const platform::TrayMenu& menu) override;
  void showBalloon(platform::BalloonIcon icon, const std::string& text) override;
  void setTip(const std::string& tip) override;
  void showRecording(bool recording) override;
  void dismissTip() override;

private:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void createControls(const std::string& serviceHost);
  void createLinksPage(HWND page, const std::string& serviceHost);
  void createOptionsPage(HWND page);
  void createAboutPage(HWND page);
  void createFaqPage(HWND page);
  void handleOptionClicks();
  void hookControls();
  LRESULT hotKeyMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT autoStartMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT readOnlyTextMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
  void fitToDpi(int dpi, const RECT* suggested);
  void placeStatusTip();
  TTTOOLINFOW statusTool() const;
  void restoreFocus();
  void buildTrayMenu(const platform::TrayMenu& menu);
  void onMenuCommand(int id);
  void showPage(int page);
  HWND checkBox(platform::CheckBox box) const;

  app::MainForm* form_ = nullptr;
  std::function<void()> beforeQuit_;
  HFONT font_ = nullptr, boldFont_ = nullptr, memoFont_ = nullptr;
  HWND tabs_ = nullptr, statusBar_ = nullptr, statusTip_ = nullptr, uploadFileField_ = nullptr,
       uploadButton_ = nullptr;
  std::wstring statusTipText_;
  std::array<Container, 4> pages_;
  Container linkPanel_, optionsPanel_;
  HWND openLink_ = nullptr, copyLink_ = nullptr, cancelUpload_ = nullptr, retryUpload_ = nullptr;
  BusyIndicator busy_;
  std::optional<LinkPageControls> linkPage_;
  HWND helpText_ = nullptr;
  std::string hotKeyName_;  // named in the help text
  std::string destination_; // where pictures go, named there too
  HWND lastRegionHotKey_ = nullptr;
  HWND recordHotKey_ = nullptr;
  HWND recordingType_ = nullptr; // a drop-down list: GIF, WebM
  std::string trayTip_ = "Glimor!";
  HICON recordingIcon_ = nullptr;
  bool showingRecording_ = false;
  HWND hotKey_ = nullptr, checkForUpdates_ = nullptr, autoUpdate_ = nullptr, autoStart_ = nullptr;
  HWND fade_ = nullptr, allMonitors_ = nullptr, uploadToken_ = nullptr;
  HWND uploadTarget_ = nullptr, chooseUploader_ = nullptr;
  std::array<HWND, 4> radios_{};
  HWND version_ = nullptr, memoAbout_ = nullptr, sendFeedback_ = nullptr, faq_ = nullptr;
  FeedbackGroup feedback_{*this};
  UpdateWindow updateTexts_{*this};
  HMENU trayMenu_ = nullptr;
  HWND lastFocus_ = nullptr;
  DpiLayout layout_;
  bool settingControls_ = false;
};

} // namespace glimor::win32
