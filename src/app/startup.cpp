#include "app/startup.h"

#include "platform/paths.h"

namespace glimor::app {

namespace {

constexpr unsigned handOverWaitMs = 3000;

// Stage 3: the newly installed copy removes the downloaded one.
void finishUpdate(const std::vector<std::string>& arguments, StartUpPlatform& p) {
  p.shell.sleep(handOverWaitMs);
  p.messages.show("Update successful. You are running version: " + programVersion);
  if (arguments.size() > 2 && p.files.exists(arguments[2]) && !p.files.remove(arguments[2]))
    p.messages.show("Unable to delete old file. Update failed.");
}

// Stage 2: the downloaded copy installs itself. It is copied beside the installed
// program first and then renamed over it, so a failed copy keeps the installed
// program intact. True when the installed copy was started.
bool installUpdate(const std::vector<std::string>& arguments, StartUpPlatform& p) {
  p.shell.sleep(handOverWaitMs);
  const std::string& self = arguments[0];
  std::string installed = installedExePath(self);
  std::string staged = installed + ".new";
  if (!p.shell.copyFile(self, staged) || !p.shell.moveFileReplacing(staged, installed)) {
    p.files.remove(staged);
    p.messages.show("Unable to replace old file. Update failed.");
    return false;
  }
  p.shell.execute(installed, "-updated \"" + self + "\"");
  return true;
}

} // namespace

StartMode startModeOf(const std::vector<std::string>& arguments) {
  if (arguments.size() < 2) return StartMode::Ordinary;
  if (arguments[1] == "-updating") return StartMode::Updating;
  if (arguments[1] == "-updated") return StartMode::Updated;
  return StartMode::Ordinary;
}

std::string installedExePath(const std::string& argument0) {
  return paths::folderOf(argument0) + "Glimor.exe";
}

bool runStartUp(const std::vector<std::string>& arguments, StartUpPlatform p) {
  // Before this process has a window titled "Glimor!", so it never finds itself.
  bool otherInstance = p.shell.windowExists(applicationTitle);
  StartMode mode = startModeOf(arguments);
  if (mode == StartMode::Updated) finishUpdate(arguments, p);
  if (mode == StartMode::Updating && !arguments.empty() && installUpdate(arguments, p)) return false;
  if (otherInstance) {
    p.messages.show("You cannot start multiple copies of Glimor!");
    return false;
  }
  return true;
}

} // namespace glimor::app
