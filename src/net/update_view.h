#pragma once
#include <string>

namespace glimor::net {

// The main window as the update check reaches it; all on the user-interface thread.
class UpdateView {
public:
  virtual ~UpdateView() = default;
  virtual void setUpdateStatus(const std::string& text) = 0; // status panel 1
  virtual bool autoUpdateTicked() = 0;                       // "Update on load"
  virtual void showMainWindow() = 0;
  // Handles the pending window messages, so timers and the status bar live on during a download.
  virtual void processMessages() = 0;
  // Ends the program without asking: the loop stops and the windows are destroyed.
  virtual void endApplication() = 0;
};

} // namespace glimor::net
