#pragma once
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/shell.h"

#include <string>
#include <vector>

namespace glimor::app {

inline const std::string programVersion = "1.01";
inline const std::string applicationTitle = "Glimor!";

enum class StartMode { Ordinary, Updating, Updated };

StartMode startModeOf(const std::vector<std::string>& arguments);

// Glimor.exe in the running executable's folder, whatever the running file is called.
std::string installedExePath(const std::string& argument0);

struct StartUpPlatform {
  platform::Shell& shell;
  platform::Files& files;
  platform::Messages& messages;
};

// Everything before the windows exist: the single-instance check and the two
// update stages. True when the program goes on with an ordinary start.
bool runStartUp(const std::vector<std::string>& arguments, StartUpPlatform platform);

} // namespace glimor::app
