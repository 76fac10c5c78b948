#pragma once
#include "platform/messages.h"
#include "platform/option_controls.h"
#include "platform/registry.h"

#include <memory>
#include <string>

namespace glimor::app {

inline const std::string runKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const std::string autoStartValueName = "Glimor";

// "Start with Windows": the check box mirrors the Run value, and the value
// follows the box when the user clicks it.
class AutoStart {
public:
  AutoStart(platform::Registry& registry, platform::OptionControls& options, platform::Messages& messages,
            std::string executablePath);

  // The long-lived registry object that every tick uses (created at start-up).
  void createWatcher();
  // TimerRegistry, every 500 ms.
  void tick();
  // Writes or deletes the value according to the check box (UpdateAutoStart).
  void update();

  std::string quotedPath() const { return "\"" + executablePath_ + "\""; }

private:
  void updateAndReport(bool fromTimer);
  void report(const std::string& text, bool fromTimer);

  platform::Registry& registry_;
  platform::OptionControls& options_;
  platform::Messages& messages_;
  std::string executablePath_;
  std::unique_ptr<platform::RegistryKey> watcher_;
  // The timer retries every 500 ms; its failure is shown once until it clears,
  // and never while a message of ours is still open.
  std::string lastTimerFailure_;
  bool messageOpen_ = false;
};

} // namespace glimor::app
