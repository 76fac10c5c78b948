#pragma once
#include <string>

namespace glimor::app {

// The program-wide flags through which capture, upload and update keep out of
// each other's way. Each has one writer at a time, so none needs a lock.
struct ProgramFlags {
  bool hotKeyReady = false;   // HotKeyReady
  bool downloading = false;   // Downloading
  bool floodLock = false;     // FloodLock
  bool quitRequested = false; // QuitRequested
  bool savedToFile = false;   // SavedToFile
  std::string savedFileName;  // SavedFileName
};

} // namespace glimor::app
