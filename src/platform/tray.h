#pragma once
#include <string>
#include <vector>

namespace glimor::platform {

// One item of "Recent links": the link it copies, and its caption (the link shortened, a tab, the
// upload's local time: a menu shows what follows the tab in a column of its own).
struct RecentLink {
  std::string link;
  std::string label;
};

// What the tray menu offers of the upload history at the moment it opens.
struct TrayMenu {
  std::vector<RecentLink> recentLinks; // the "Recent links" submenu, newest first; greyed when empty
  bool canDeleteLast = false;          // "Delete last upload"; greyed when false
  bool canCancelUpload = false;        // "Cancel upload", there only while an upload runs
  bool canRetryUpload = false;         // "Retry upload", in its place otherwise; greyed when false
  bool recording = false; // "Stop recording" and "Discard recording" in place of "Record a region"
};

// The look of a balloon: a plain notice or an error.
enum class BalloonIcon { Info, Error };

// The notification-area icon (tip "Glimor!") of the main window and its menu
// "Show", "Hide", "Recent links", "Delete last upload", "Cancel upload" or "Retry upload", "Capture last
// region", "Capture in 3 seconds", "Record a region" (or "Stop recording" and "Discard recording"),
// "-", "Exit".
class Tray {
public:
  virtual ~Tray() = default;
  virtual bool add() = 0;
  virtual void remove() = 0;
  // Opens the menu with its top-left corner at the cursor position.
  virtual void showMenuAtCursor(const TrayMenu& menu) = 0;
  // A balloon from the icon titled with the application's title, which goes by itself after a
  // few seconds: the outcome of a tray action, where the user is while the window is hidden.
  virtual void showBalloon(BalloonIcon icon, const std::string& text) = 0;
  // The icon's tip ("Glimor!" unless a countdown shows in it); kept when the icon is added again.
  virtual void setTip(const std::string& tip) = 0;
  // Takes the tip off the screen if it is shown (the pointer resting on the icon).
  virtual void dismissTip() = 0;
  // The icon's look while a recording runs, and back.
  virtual void showRecording(bool recording) = 0;
};

} // namespace glimor::platform
