#pragma once
#include "net/update_view.h"
#include "platform/main_view.h"
#include "platform/option_controls.h"

#include <functional>

namespace glimor::win32 {

// The update check's view of the main window: status panel 1, "Update on load", the message
// pump of a running download and the program's end after the hand-over.
class UpdateWindow final : public net::UpdateView {
public:
  UpdateWindow(platform::MainView& main, platform::OptionControls& options,
               std::function<void()> endApplication)
      : main_(main), options_(options), endApplication_(std::move(endApplication)) {}

  void setUpdateStatus(const std::string& text) override { main_.setStatus(1, text); }
  bool autoUpdateTicked() override { return options_.checked(platform::CheckBox::AutoUpdate); }
  void showMainWindow() override { main_.show(); }
  void processMessages() override;
  void endApplication() override { endApplication_(); }

private:
  platform::MainView& main_;
  platform::OptionControls& options_;
  std::function<void()> endApplication_;
};

} // namespace glimor::win32
