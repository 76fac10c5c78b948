#pragma once

namespace glimor::win32::ids {

// Controls of the main window.
enum : int {
  tabs = 100,
  statusBar,
  uploadFile,
  uploadButton,
  helpText,
  directLink,
  openLink,
  copyLink,
  cancelUpload,
  retryUpload,
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
  allMonitors,
  uploadToken,
  lastRegionHotKey,
  recordHotKey,
  recordingType,
  chooseUploader,
  // The tray menu.
  menuShow = 200,
  menuHide,
  menuExit,
  menuDeleteLast,
  menuCancelUpload,
  menuCaptureLastRegion,
  menuCaptureDelayed,
  menuRetryUpload,
  menuRecentFirst = 210, // the "Recent links" submenu: one id for each link shown, newest first
  menuRecord = 230,      // after the ids of the recent links
  menuStopRecording,
  menuDiscardRecording,
  // The selection window's panel.
  glimoIt = 300,
  save,
  print,
  cancel,
  // The selection window's tool strip: a button for each drawing tool, then the colour and size.
  toolFirst = 320,
};

// How many links the "Recent links" submenu holds at most (ids menuRecentFirst onwards).
inline constexpr int menuRecentCount = 10;
static_assert(menuRetryUpload < menuRecentFirst && menuRecentFirst + menuRecentCount <= menuRecord,
              "the tray menu's ids overlap");

} // namespace glimor::win32::ids
