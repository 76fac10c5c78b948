#include "app/auto_start.h"

#include "platform/error.h"

namespace glimor::app {

namespace {
const std::string advice =
    "\rCheck your Account Premissions  or contact System Administrator for more information.";
} // namespace

AutoStart::AutoStart(platform::Registry& registry, platform::OptionControls& options,
                     platform::Messages& messages, std::string executablePath)
    : registry_(registry), options_(options), messages_(messages),
      executablePath_(std::move(executablePath)) {}

void AutoStart::createWatcher() {
  watcher_ = registry_.localMachine();
}

void AutoStart::tick() {
  if (!watcher_) createWatcher();
  if (watcher_->open(runKeyPath))
    options_.setChecked(platform::CheckBox::AutoStart, watcher_->valueExists(autoStartValueName));
  if (!options_.checked(platform::CheckBox::AutoStart)) {
    lastTimerFailure_.clear();
    return;
  }
  try {
    if (watcher_->readString(autoStartValueName) == quotedPath()) {
      lastTimerFailure_.clear();
      return;
    }
    updateAndReport(true);
  } catch (const Error& e) {
    report(e.what(), true);
  }
}

void AutoStart::update() {
  updateAndReport(false);
}

void AutoStart::updateAndReport(bool fromTimer) {
  std::unique_ptr<platform::RegistryKey> key = registry_.localMachine();
  if (!key->open(runKeyPath)) {
    report("Could not create Registry Key." + advice, fromTimer);
    return;
  }
  if (options_.checked(platform::CheckBox::AutoStart)) {
    key->writeString(autoStartValueName, quotedPath());
    key->close();
    if (fromTimer) lastTimerFailure_.clear();
  } else if (!key->deleteValue(autoStartValueName)) {
    report("Could not remove Registry Key." + advice, fromTimer);
  }
}

void AutoStart::report(const std::string& text, bool fromTimer) {
  if (messageOpen_) return;
  if (fromTimer) {
    if (text == lastTimerFailure_) return;
    lastTimerFailure_ = text;
  }
  messageOpen_ = true;
  try {
    messages_.show(text);
  } catch (...) {
    messageOpen_ = false;
    throw;
  }
  messageOpen_ = false;
}

} // namespace glimor::app
