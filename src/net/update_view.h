#pragma once
#include <string_view>

namespace glimor::net {

// The main window as the update check reaches it; all on the user-interface thread.
class UpdateView {
public:
  virtual ~UpdateView() = default;
  // Status panel 1: a short `text` that fits it, and the whole `reason` for the user to read
  // (the panel's tooltip); no reason when the text says it all.
  virtual void setUpdateStatus(std::string_view text, std::string_view reason = {}) = 0;
  virtual bool autoUpdateTicked() = 0; // "Update on load"
  virtual void showMainWindow() = 0;
  // Ends the program without asking: the loop stops and the windows are destroyed.
  virtual void endApplication() = 0;
};

} // namespace glimor::net
