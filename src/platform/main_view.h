#pragma once
#include <string>

namespace glimor::platform {

// The main window as the core sees it: its visibility, pages, status bar and
// the hidden field through which a capture is handed to the upload.
class MainView {
public:
  virtual ~MainView() = default;
  virtual bool visible() const = 0;
  virtual void show() = 0;
  // Shown again where it was, leaving the keyboard with the window that has it.
  virtual void showInactive() = 0;
  virtual void hide() = 0;
  virtual void bringToFront() = 0;
  virtual void repaintNow() = 0;
  // 0 is the first page ("Glimoed Links").
  virtual void setActivePage(int page) = 0;
  virtual void setStatus(int panel, const std::string& text) = 0;
  virtual std::string status(int panel) const = 0;
  virtual void setUploadFileName(const std::string& path) = 0;
  virtual std::string uploadFileName() const = 0;
  virtual void setVersionText(const std::string& text) = 0;
  // The capture hot key in force, as its name ("Alt+F2"), for the first page's text.
  virtual void setHotKeyName(const std::string& name) = 0;
  virtual void setLinkPanelVisible(bool visible) = 0; // the link panel of the first page
  // Asks the window to close, which runs the core's close handler.
  virtual void requestClose() = 0;
};

} // namespace glimor::platform
