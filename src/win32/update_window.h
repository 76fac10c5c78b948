#pragma once
#include "net/update_view.h"

namespace glimor::win32 {

class MainWindow;

// The update check's view of the main window: status panel 1 with its tooltip, "Update on load"
// and the program's end after the hand-over.
class UpdateWindow final : public net::UpdateView {
public:
  explicit UpdateWindow(MainWindow& main) : main_(main) {}

  void setUpdateStatus(std::string_view text, std::string_view reason) override;
  bool autoUpdateTicked() override;
  void showMainWindow() override;
  void endApplication() override;

private:
  MainWindow& main_;
};

} // namespace glimor::win32
