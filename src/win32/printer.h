#pragma once
#include "platform/printer.h"
#include "win32/window.h"

#include <windows.h>

namespace glimor::win32 {

// The printer chosen in the printer-setup dialog and its device context.
class Win32Printer final : public platform::Printer {
public:
  // The printer-setup dialog is owned by this window.
  explicit Win32Printer(const Window& owner) : owner_(owner) {}
  ~Win32Printer() override;
  bool setup() override;
  void beginJob(const std::string& title) override;
  void endJob() override;
  void abortJob() override;
  int pageWidth() override;
  int pageHeight() override;
  int dpiY() override;
  void setFont(const std::string& face, int height) override;
  int textWidth(const std::string& text) override;
  int textHeight(const std::string& text) override;
  void textOut(int x, int y, const std::string& text) override;
  void drawPicture(const screen::Rect& target, const screen::Picture& picture) override;

private:
  void releaseDc();
  const Window& owner_;
  HGLOBAL devMode_ = nullptr, devNames_ = nullptr;
  HDC dc_ = nullptr;
  HFONT font_ = nullptr;
  bool jobOpen_ = false;
};

} // namespace glimor::win32
