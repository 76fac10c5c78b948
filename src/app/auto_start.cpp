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
  machineWatcher_ = registry_.localMachine();
  userWatcher_ = registry_.currentUser();
}

void AutoStart::tick() {
  if (!machineWatcher_) createWatcher();
  // A standard user cannot open the machine's key to write, but can still read it.
  bool machineOpen = machineWatcher_->open(runKeyPath) || machineWatcher_->openToRead(runKeyPath);
  bool userOpen = userWatcher_->open(runKeyPath);
  bool inMachine = machineWatcher_->valueExists(autoStartValueName);
  if (machineOpen || userOpen)
    options_.setChecked(platform::CheckBox::AutoStart,
                        inMachine || userWatcher_->valueExists(autoStartValueName));
  if (!options_.checked(platform::CheckBox::AutoStart)) {
    lastTimerFailure_.clear();
    return;
  }
  try {
    // Either holder pointing here will do: a stale machine value that a standard user
    // cannot repair is left to the administrator, and the user's own value starts us.
    bool inUser = userWatcher_->valueExists(autoStartValueName) || !inMachine;
    if ((inMachine && machineWatcher_->readString(autoStartValueName) == quotedPath()) ||
        (inUser && userWatcher_->readString(autoStartValueName) == quotedPath())) {
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
  if (!options_.checked(platform::CheckBox::AutoStart)) return deleteValue(fromTimer);
  if (!writeValue()) return report("Could not create Registry Key." + advice, fromTimer);
  if (fromTimer) lastTimerFailure_.clear();
}

bool AutoStart::writeValue() {
  std::unique_ptr<platform::RegistryKey> machine = registry_.localMachine();
  std::unique_ptr<platform::RegistryKey> user = registry_.currentUser();
  if (machine->open(runKeyPath)) {
    machine->writeString(autoStartValueName, quotedPath());
    machine->close();
    // One value is enough: with both, the second start at logon would only find the first.
    if (user->open(runKeyPath)) user->deleteValue(autoStartValueName);
    return true;
  }
  if (!user->open(runKeyPath)) return false;
  user->writeString(autoStartValueName, quotedPath());
  user->close();
  return true;
}

void AutoStart::deleteValue(bool fromTimer) {
  std::unique_ptr<platform::RegistryKey> machine = registry_.localMachine();
  std::unique_ptr<platform::RegistryKey> user = registry_.currentUser();
  bool machineOpen = machine->open(runKeyPath), userOpen = user->open(runKeyPath);
  if (!machineOpen && !userOpen) return report("Could not create Registry Key." + advice, fromTimer);
  bool fromMachine = machineOpen && machine->deleteValue(autoStartValueName);
  bool fromUser = userOpen && user->deleteValue(autoStartValueName);
  if (!fromMachine && !fromUser) report("Could not remove Registry Key." + advice, fromTimer);
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
