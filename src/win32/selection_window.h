#pragma once
#include "capture/capture_state.h"
#include "capture/selection_window.h"
#include "platform/selection_view.h"
#include "win32/container.h"
#include "win32/dpi_layout.h"
#include "win32/tool_strip.h"
#include "win32/window.h"

namespace glimor::win32 {

// frmEdit: a borderless, topmost window over everything captured (the virtual screen or the
// primary monitor) that shows the capture 1:1 and carries the button panel, the tool strip and
// the line of key hints.
class SelectionWindow final : public Window, public platform::SelectionView {
public:
  explicit SelectionWindow(const capture::CaptureState& state) : state_(state) {}
  void setCore(capture::SelectionWindow& core) { core_ = &core; }
  void createWindow();

  void showModal() override;
  void close() override;
  bool visible() const override;
  void repaint() override;
  void setPanelVisible(bool visible) override;
  void placePanel(int left, int top, int dpi) override;
  void setGlimoButton(const std::string& caption, bool enabled) override;
  void repaint(const std::vector<screen::Rect>& parts) override;
  void placeToolStrip(int left, int top, int dpi) override;
  void setToolStripVisible(bool visible) override;
  void placeKeyHints(int left, int top, int dpi) override;
  void setKeyHints(const std::string& text) override;
  int chooseFromMenu(const std::vector<MenuItem>& items) override;
  void showTool(int tool, std::uint32_t colour, int size) override;
  void processMessages() override;
  void sleep(unsigned ms) override;
  void rememberForeground() override;
  void restoreForeground() override;
  void waitForScreenToSettle() override;
  screen::Point pointer() const override;
  void movePointer(screen::Point to) override;

private:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void paint();
  void paintPart(HDC dc, const RECT& part);
  void onWheel(WPARAM wParam);
  void onStripClick(int slot);
  void drawGlimoButton(const DRAWITEMSTRUCT& item);
  void dispatch(const MSG& message);
  void coverScreen(UINT flags);
  void takeForeground();
  void createPanel();
  void createKeyHints();

  const capture::CaptureState& state_;
  capture::SelectionWindow* core_ = nullptr;
  Container panel_;
  HWND glimoIt_ = nullptr;
  HFONT font_ = nullptr, boldFont_ = nullptr;
  DpiLayout layout_; // the panel, at the resolution of the monitor it stands on
  Container hints_;  // the line of key hints under the panel
  HWND hintsText_ = nullptr;
  DpiLayout hintsLayout_;
  HWND tips_ = nullptr;
  std::string glimoCaption_;
  ToolStrip strip_;
  int tool_ = -1;                 // the drawing tool chosen, -1 while selecting
  int wheelRest_ = 0;             // what the wheel turned short of a notch
  HWND userForeground_ = nullptr; // the window the user worked in when the capture began
};

} // namespace glimor::win32
