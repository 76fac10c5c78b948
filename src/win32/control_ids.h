#pragma once

namespace glimor::win32::ids {

// Controls of the main window.
enum : int {
  tabs = 100,
  statusBar,
  edit1,
  button1,
  label12,
  directLink,
  openLink,
  copyLink,
  hotKey,
  checkForUpdates,
  autoUpdate,
  jpeg,
  bmp,
  gif,
  png,
  autoStart,
  fade,
  version,
  memoAbout,
  sendFeedback,
  faq,
  // The tray menu.
  menuShow = 200,
  menuHide,
  menuExit,
  // The selection window's panel.
  glimoIt = 300,
  save,
  print,
  cancel,
};

} // namespace glimor::win32::ids
