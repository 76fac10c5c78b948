#pragma once
#include "net/update_view.h"
#include "platform/option_controls.h"
#include "win32/main_window.h"

#include <functional>

namespace glimor::win32 {

// The update check's view of the main window: status panel 1 with its tooltip, "Update on load"
// and the program's end after the hand-over.
class UpdateWindow final : public net::UpdateView {
public:
  UpdateWindow(MainWindow& main, platform::OptionControls& options, std::function<void()> endApplication)
      : main_(main), options_(options), endApplication_(std::move(endApplication)) {}

  void setUpdateStatus(std::string_view text, std::string_view reason) override {
    main_.setStatus(1, std::string(text));
    main_.setStatusTip(std::string(reason.empty() ? text : reason));
  }
  bool autoUpdateTicked() override { return options_.checked(platform::CheckBox::AutoUpdate); }
  void showMainWindow() override { main_.show(); }
  void endApplication() override { endApplication_(); }

private:
  MainWindow& main_;
  platform::OptionControls& options_;
  std::function<void()> endApplication_;
};

} // namespace glimor::win32
