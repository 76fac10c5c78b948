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
// follows the box when the user clicks it. The value lives under the machine's
// Run key wherever that can be written; for a standard user, who may not write
// there, it lives under the user's own Run key, and the mirror reads either.
class AutoStart {
public:
  AutoStart(platform::Registry& registry, platform::OptionControls& options, platform::Messages& messages,
            std::string executablePath);

  // The long-lived registry objects that every tick uses (created at start-up).
  void createWatcher();
  // TimerRegistry, every 500 ms.
  void tick();
  // Writes or deletes the value according to the check box (UpdateAutoStart).
  void update();

  std::string quotedPath() const { return "\"" + executablePath_ + "\""; }

private:
  void updateAndReport(bool fromTimer);
  bool writeValue(); // false when neither Run key can be opened
  void deleteValue(bool fromTimer);
  void report(const std::string& text, bool fromTimer);

  platform::Registry& registry_;
  platform::OptionControls& options_;
  platform::Messages& messages_;
  std::string executablePath_;
  std::unique_ptr<platform::RegistryKey> machineWatcher_, userWatcher_;
  // The timer retries every 500 ms; its failure is shown once until it clears,
  // and never while a message of ours is still open.
  std::string lastTimerFailure_;
  bool messageOpen_ = false;
};

} // namespace glimor::app
