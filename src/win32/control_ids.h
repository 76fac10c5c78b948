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
  menuRecord,
  menuStopRecording,
  menuDiscardRecording,
  menuRecentFirst = 210, // the "Recent links" submenu: one id for each link shown, newest first
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

} // namespace glimor::win32::ids
