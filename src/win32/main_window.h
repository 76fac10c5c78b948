#pragma once
#include "app/main_form.h"
#include "platform/main_view.h"
#include "platform/option_controls.h"
#include "platform/tray.h"
#include "win32/container.h"
#include "win32/dpi_layout.h"
#include "win32/window.h"

#include <commctrl.h>

#include <array>
#include <string>

namespace glimor::win32 {

// TForm1: the four pages, the status bar, the tray icon and the hot key's window.
class MainWindow final : public Window,
                         public platform::MainView,
                         public platform::OptionControls,
                         public platform::Tray {
public:
  void setForm(app::MainForm& form) { form_ = &form; }
  // Creates the window and its controls (hidden); `serviceHost` names the site on the first page.
  void createWindow(HWND owner, const std::string& serviceHost);
  // Sizes the window and every control on it, also those added since, for its monitor's resolution.
  void layOutForDpi();
  // Runs when the user has agreed to quit, before the main window goes.
  void setBeforeQuit(std::function<void()> f) { beforeQuit_ = std::move(f); }
  // Commands of the controls that the network features own (links, update, feedback).
  void setNetworkCommands(std::function<void(int id, int code)> f) { networkCommands_ = std::move(f); }
  // A control on any page or panel, by its id.
  HWND control(int id) const;
  HWND page(int index) const { return pages_[static_cast<std::size_t>(index)].hwnd(); }
  // The tooltip of status panel 1: the whole text behind the short one it shows.
  void setStatusTip(const std::string& text);

  // platform::MainView
  bool visible() const override;
  void show() override;
  void hide() override;
  void bringToFront() override;
  void repaintNow() override;
  void setActivePage(int page) override;
  void setStatus(int panel, const std::string& text) override;
  std::string status(int panel) const override;
  void setUploadFileName(const std::string& path) override;
  std::string uploadFileName() const override;
  void setVersionText(const std::string& text) override;
  void setLinkPanelVisible(bool visible) override;
  void requestClose() override;

  // platform::OptionControls
  bool checked(platform::CheckBox box) const override;
  void setChecked(platform::CheckBox box, bool checked) override;
  platform::ImageType imageType() const override;
  void setImageType(platform::ImageType type) override;
  std::uint16_t hotKey() const override;
  void setHotKey(std::uint16_t shortcut) override;

  // platform::Tray
  bool add() override;
  void remove() override;
  void showMenuAtCursor(const platform::TrayMenu& menu) override;

private:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void createControls(const std::string& serviceHost);
  void createLinksPage(HWND page, const std::string& serviceHost);
  void createOptionsPage(HWND page);
  void createAboutPage(HWND page);
  void createFaqPage(HWND page);
  void fitToDpi(int dpi, const RECT* suggested);
  void placeStatusTip();
  TTTOOLINFOA statusTool() const;
  void restoreFocus();
  void buildTrayMenu(const platform::TrayMenu& menu);
  void onCommand(int id, int code);
  void showPage(int page);
  HWND checkBox(platform::CheckBox box) const;
  static LRESULT CALLBACK subclassed(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

  app::MainForm* form_ = nullptr;
  std::function<void()> beforeQuit_;
  std::function<void(int, int)> networkCommands_;
  HFONT font_ = nullptr, boldFont_ = nullptr, memoFont_ = nullptr;
  HWND tabs_ = nullptr, statusBar_ = nullptr, statusTip_ = nullptr, edit1_ = nullptr, button1_ = nullptr;
  std::string statusTipText_;
  std::array<Container, 4> pages_;
  Container linkPanel_, optionsPanel_;
  HWND hotKey_ = nullptr, autoUpdate_ = nullptr, autoStart_ = nullptr, fade_ = nullptr;
  HWND allMonitors_ = nullptr;
  std::array<HWND, 4> radios_{};
  HWND version_ = nullptr, memoAbout_ = nullptr, faq_ = nullptr;
  HMENU trayMenu_ = nullptr;
  HWND lastFocus_ = nullptr;
  DpiLayout layout_;
  bool placed_ = false;
  bool settingControls_ = false;
};

} // namespace glimor::win32
