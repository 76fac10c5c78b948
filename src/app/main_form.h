#pragma once
#include "app/auto_start.h"
#include "app/delayed_capture.h"
#include "app/last_region.h"
#include "app/program_flags.h"
#include "app/recorder.h"
#include "app/settings.h"
#include "capture/capture_state.h"
#include "platform/hot_keys.h"
#include "platform/main_view.h"
#include "platform/messages.h"
#include "platform/option_controls.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/screen.h"
#include "platform/selection_view.h"
#include "platform/timer.h"
#include "platform/tray.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace glimor::app {

struct MainFormPlatform {
  platform::MainView& view;
  platform::OptionControls& options;
  platform::Messages& messages;
  platform::Timers& timers;
  platform::Profile& profile;
  platform::Registry& registry;
  platform::HotKeys& hotKeys;
  platform::Tray& tray;
  platform::Screen& screen;
  platform::SelectionView& selectionView;
};

inline const std::string uploadingStatus = "Uploading image...";
inline constexpr unsigned floodLockMs = 5000; // how long the anti-flood lock holds
inline const std::string floodLockStatus = "AntiFlood protection: Please wait 5 seconds.";
// The balloons of a capture or an upload refused at its gates, and of a retry with no file left.
inline const std::string uploadRunningText =
    "An upload is running: its link comes when it ends, or \"Cancel upload\" in the tray menu stops it.";
inline const std::string nothingToRetryText = "Nothing to upload again: the last capture's file is gone.";
// "Wait N s: ...", N the whole seconds left of the anti-flood lock, at least 1.
std::string floodWaitText(int secondsLeft);

// What the tray menu's upload items reach: the upload history's recent links and deletion.
struct TrayHistoryHooks {
  std::function<platform::TrayMenu()> menu;
  std::function<void(const std::string& link)> copyLink;
  std::function<void()> deleteLast;
};

// The main window: start-up, the Options page, the status line, closing,
// the hot key and the capture it starts, and the tray icon.
class MainForm {
public:
  MainForm(MainFormPlatform platform, ProgramFlags& flags, capture::CaptureState& capture,
           std::string executablePath);

  // The window's creation: tray icon, settings, hot key, first-start work, timers.
  void create();
  void destroy();
  // The close handler: true when the program may end.
  bool closeQuery();
  // Another program (an uninstaller) asks this one to end: the tray's Exit, agreed without asking.
  void onQuitMessage();

  // Options page.
  void onImageTypeSelected(platform::ImageType type);
  void onFadeChanged();
  void onAutoUpdateChanged();
  void onAllMonitorsChanged(); // "Capture all monitors"
  void onUploadTokenChanged(); // "Upload token:" when the user has finished with it
  void onHotKeyFocus();
  void onHotKeyChanged() { registerHotKey(); }
  void onHotKeyBlur();
  // The second hot key, "Capture last region": none until the user sets one; emptied, it is withdrawn.
  void onLastRegionHotKeyChanged() { registerExtraKey(lastRegionKey_); }
  void onLastRegionHotKeyBlur() { onExtraKeyBlur(lastRegionKey_); }
  // The third, "Record a region" (Shift+Alt+F2 until changed); emptied, it is withdrawn.
  void onRecordHotKeyChanged() { registerExtraKey(recordKey_); }
  void onRecordHotKeyBlur() { onExtraKeyBlur(recordKey_); }
  void onRecordingTypeSelected(platform::RecordingType type);
  void onAutoStartMouseUp();
  void onAutoStartKeyToggle(); // Space on the box: applied as a click is

  // Hot key and capture.
  void registerHotKey();
  void registerLastRegionHotKey() { registerExtraKey(lastRegionKey_); }
  void registerRecordHotKey() { registerExtraKey(recordKey_); }
  void onHotKey(std::uint16_t id);
  // The hidden "Glimo it !" button: starts the upload of the named upload file. The window is neither shown
  // nor raised, so the program the user works in keeps the focus; the links page follows all the same.
  void onUploadButton();
  // A confirmed capture's upload, started once: from the confirm itself, before the selection
  // window has gone (which takes a while on a large screen), or else once it has.
  void publishConfirmed();
  // The upload worker plugs in here; without it the button does nothing.
  void setUploadStarter(std::function<void()> start) { startUpload_ = std::move(start); }
  // And here what readies it while a confirm makes the file: its connection opens meanwhile.
  void setUploadPreparer(std::function<void()> prepare) { prepareUpload_ = std::move(prepare); }
  void prepareUpload() {
    if (prepareUpload_) prepareUpload_();
  }
  // The upload's own running flag: the status text alone is not enough, since the feedback form
  // writes the same status panel while an upload runs.
  void setUploadRunning(std::function<bool()> running) { uploadRunning_ = std::move(running); }
  // Calls off the running upload; the tray menu offers it while the upload runs.
  void setUploadCanceller(std::function<void()> cancel) { cancelUpload_ = std::move(cancel); }
  void cancelUpload(); // the links page's "Cancel upload"; nothing when no upload runs
  // "Retry upload": the upload file again, through the anti-flood lock and the running-upload gate.
  void retryUpload();
  // The upload file exists, and no upload runs.
  bool canRetryUpload();
  // How the core learns whether the upload file is there; without it nothing can be retried.
  void setUploadFileCheck(std::function<bool(const std::string&)> exists) {
    uploadFileExists_ = std::move(exists);
  }

  // Tray icon.
  void onTrayNotify(unsigned mouseMessage);
  void onTrayShow();
  void onTrayHide();
  void onTrayExit();
  void onTrayRecentLink(std::size_t index); // the index-th link of the menu as it was shown
  void onTrayDeleteLast();
  void onTrayCancelUpload();
  void onTrayRetryUpload();
  void onTrayCaptureLastRegion();
  void onTrayCaptureDelayed(); // "Capture in 3 seconds"
  void onTrayRecord();         // "Record a region"
  void onTrayStopRecording();
  void onTrayDiscardRecording();
  // The recorder plugs in here; without it nothing records.
  void setRecorder(Recorder& recorder) { recorder_ = &recorder; }
  // A file made outside a capture, a recording, goes up the upload road as a capture's does.
  void uploadFile(const std::string& file);
  // The upload history plugs in here; without it the menu's upload items stay greyed.
  void setTrayHistory(TrayHistoryHooks hooks) { trayHistory_ = std::move(hooks); }

  void setStatus(const std::string& text) { platform_.view.setStatus(0, text); }
  void showLinkPanelSoon(bool visible); // from the upload worker's thread
  void startFloodLock();                // at the end of an upload attempt

  Settings& settings() { return settings_; }
  std::uint16_t hotKeyId() const { return hotKeyId_; }

private:
  // A hot key besides the capture hot key: its atom's name, its Glimor.ini key and its control.
  struct ExtraHotKey {
    const char* atom;
    const platform::ini::Number* setting;
    std::uint16_t (platform::OptionControls::*shortcut)() const;
    void (platform::OptionControls::*show)(std::uint16_t);
    const std::string* sameKeys; // the message when it is the combination of another hot key
    std::uint16_t id = 0;        // its atom, 0 until the first registration
    std::uint16_t inForce = 0;   // the combination registered, 0 when none
  };
  void registerExtraKey(ExtraHotKey& key);
  void onExtraKeyBlur(ExtraHotKey& key);
  void loadExtraKey(ExtraHotKey& key, std::uint16_t fallback);
  static bool pressed(const ExtraHotKey& key, std::uint16_t id) { return key.inForce != 0 && id == key.id; }
  // The record hot key: the selection of what to record, or the end of the recording that runs.
  void onRecordKey(std::optional<std::uint16_t> hotKeyId);
  void rememberLastRegion();

  // The gates of every capture, whatever starts it: a hot key passes its id (checked among them,
  // with the control being edited), the tray menu none.
  bool captureMayStart(std::optional<std::uint16_t> hotKeyId);
  // The gates shared by every upload start: the anti-flood lock and a running upload. A refusal
  // is said in a balloon, where the user is, as well as in the status bar.
  bool floodLockRefuses();
  bool uploadRunningRefuses();
  bool uploadRuns();
  // Freezes the screen and runs the selection; with `lastRegion` it opens on the last region.
  // `afterTransient`: a menu or tip of ours has just gone, and the screen is let settle first.
  // `record`: what is selected is recorded rather than published.
  void runCapture(bool lastRegion, bool afterTransient, bool record = false);
  // The one message for a combination that cannot be taken, however often the control reports it.
  void refuseHotKey(const std::string& text, const std::function<void()>& showInForce);
  void onFloodTimer();
  void onLinkPanelTimer();

  MainFormPlatform platform_;
  ProgramFlags& flags_;
  capture::CaptureState& capture_;
  std::string executablePath_;
  Settings settings_;
  AutoStart autoStart_;
  std::uint16_t hotKeyId_ = 0;
  bool hotKeyRegistered_ = false;
  bool refusingHotKey_ = false;     // the modifier message is open
  std::uint16_t hotKeyInForce_ = 0; // the combination registered last, 0 before the first
  static const std::string lastRegionSameKeys, recordSameKeys;
  ExtraHotKey lastRegionKey_{"MyHotKey_2", &platform::ini::lastRegionHotKey,
                             &platform::OptionControls::lastRegionHotKey,
                             &platform::OptionControls::setLastRegionHotKey, &lastRegionSameKeys};
  ExtraHotKey recordKey_{"MyHotKey_3", &platform::ini::recordHotKey, &platform::OptionControls::recordHotKey,
                         &platform::OptionControls::setRecordHotKey, &recordSameKeys};
  Recorder* recorder_ = nullptr;
  LastRegion lastRegion_{settings_};
  DelayedCapture delayed_;
  bool quitAgreed_ = false;
  std::atomic<bool> showLinkPanel_{true};
  std::function<void()> startUpload_, prepareUpload_;
  std::function<bool()> uploadRunning_;
  std::function<void()> cancelUpload_;
  std::function<bool(const std::string&)> uploadFileExists_;
  std::uint64_t floodLockStart_ = 0; // the timers' clock when the anti-flood lock began
  TrayHistoryHooks trayHistory_;
  platform::TrayMenu shownMenu_;
  std::unique_ptr<platform::Timer> autoStartTimer_, linkPanelTimer_, trayIconTimer_, floodLockTimer_;
};

} // namespace glimor::app
