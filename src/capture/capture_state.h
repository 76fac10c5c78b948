#pragma once
#include "capture/screen_terms.h"
#include "capture/selection_geometry.h"

#include <vector>

#include <optional>

namespace glimor::capture {

// What one capture produces and the hot-key dispatch reads after the selection
// window has closed. One instance lives for the whole run.
struct CaptureState {
  Picture p;        // what the user sees: rubber band and fade are drawn here
  Picture snapshot; // the clean capture, never drawn on
  DisplayFormat display;
  ScreenLayout screen;            // what the pictures cover: the virtual screen or the primary monitor
  std::vector<WindowBox> windows; // the windows on the screen at the hot key, in picture pixels
  Rect selection;
  bool drawing = false;
  bool confirmed = false;
  bool copied = false;    // to the clipboard (Ctrl+C), which ended the window
  bool published = false; // the confirmed capture's upload has started
  // The selection is of what to record: no marks, and the confirm writes no file.
  bool recording = false;
  // [Options] CopyImage: the confirm also puts the picture on the clipboard.
  bool copyPicture = false;
  CropFileNames files;
  // The crop file the upload takes (one of `files`), written before the others so that the upload
  // need not wait for them; empty when no file type is chosen, and all are written at once.
  std::string uploadFile;
  // A selection the window opens with, finished and its panel shown ("Capture last region").
  std::optional<Rect> preselected;
};

} // namespace glimor::capture
