// The global hot keys: their registration and the capture that a press starts.
#include "app/main_form.h"
#include "app/shortcut.h"
#include "platform/error.h"

#include <algorithm>
#include <future>

namespace glimor::app {

namespace {
const std::string noModifier = "You must select at least one modifier: CTRL, ALT, SHIFT.";
const std::string copiedToClipboard = "Selection copied to the clipboard.";
const std::string noLastRegion = "No region to capture again yet: publish, save or copy a selection first.";
} // namespace

const std::string MainForm::lastRegionSameKeys =
    "The last region's hot key must differ from the capture hot key.";
const std::string MainForm::recordSameKeys = "The record hot key must differ from the other hot keys.";

// One key, one message: while it is open the control has lost the focus (and been given the
// combination in force back), and the character the key typed may reach it and change it again.
void MainForm::refuseHotKey(const std::string& text, const std::function<void()>& showInForce) {
  if (refusingHotKey_) return;
  refusingHotKey_ = true;
  struct Closed {
    bool& refusing;
    ~Closed() { refusing = false; }
  } closed{refusingHotKey_};
  platform_.messages.show(text);
  // What the control shows then is the combination that works, as when the focus leaves it.
  showInForce();
}

void MainForm::registerHotKey() {
  std::uint16_t shortcut = platform_.options.hotKey();
  HotKeyCombination combination = registrationFormOf(shortcut);
  // No key yet (only modifiers so far, or a modifier pressed and let go alone): the user is
  // still typing, and an empty combination would leave no working hot key at all.
  if (combination.key == 0) return;
  hotKeyId_ = platform_.hotKeys.addAtom("MyHotKey_1");
  auto showInForce = [this] {
    if (hotKeyInForce_ != 0) platform_.options.setHotKey(hotKeyInForce_);
  };
  if (combination.modifiers == 0) return refuseHotKey(noModifier, showInForce);
  // One combination cannot start two things.
  for (const ExtraHotKey* other : {&lastRegionKey_, &recordKey_})
    if (other->inForce != 0 && shortcut == other->inForce) return refuseHotKey(*other->sameKeys, showInForce);
  // The id stays the same, and the system refuses a second registration under an
  // id in use, so the previous combination is withdrawn first.
  if (hotKeyRegistered_) platform_.hotKeys.unregisterKey(hotKeyId_);
  platform_.hotKeys.registerKey(hotKeyId_, combination.modifiers, combination.key);
  hotKeyRegistered_ = true;
  hotKeyInForce_ = shortcut;
  platform_.view.setHotKeyName(shortcutName(shortcut));
  settings_.write(platform::ini::hotKey, shortcut);
  flags_.hotKeyReady = true;
}

void MainForm::onHotKeyBlur() {
  // What the control shows when the user moves on is the combination that works.
  if (platform_.options.hotKey() != hotKeyInForce_) platform_.options.setHotKey(hotKeyInForce_);
}

void MainForm::registerExtraKey(ExtraHotKey& key) {
  std::uint16_t shortcut = (platform_.options.*key.shortcut)();
  HotKeyCombination combination = registrationFormOf(shortcut);
  if (combination.key == 0) return; // still typing, or emptied: the blur withdraws it
  auto showInForce = [this, &key] { (platform_.options.*key.show)(key.inForce); };
  if (combination.modifiers == 0) return refuseHotKey(noModifier, showInForce);
  // One combination cannot start two things.
  const ExtraHotKey& other = &key == &recordKey_ ? lastRegionKey_ : recordKey_;
  if (shortcut == hotKeyInForce_ || (other.inForce != 0 && shortcut == other.inForce))
    return refuseHotKey(*key.sameKeys, showInForce);
  if (key.id == 0) key.id = platform_.hotKeys.addAtom(key.atom);
  if (key.inForce != 0) platform_.hotKeys.unregisterKey(key.id);
  platform_.hotKeys.registerKey(key.id, combination.modifiers, combination.key);
  key.inForce = shortcut;
  settings_.write(*key.setting, shortcut);
  flags_.hotKeyReady = true;
}

void MainForm::onExtraKeyBlur(ExtraHotKey& key) {
  std::uint16_t shown = (platform_.options.*key.shortcut)();
  if (shown == 0 && key.inForce != 0) {
    // An emptied control is the user's way to have no such key.
    platform_.hotKeys.unregisterKey(key.id);
    key.inForce = 0;
    settings_.write(*key.setting, 0);
  } else if (shown != key.inForce) {
    (platform_.options.*key.show)(key.inForce);
  }
}

namespace {
// The crop file of the type chosen on the Options page; empty when none is chosen.
std::string uploadFileOf(platform::ImageType type, const capture::CropFileNames& files) {
  switch (type) {
  case platform::ImageType::Jpeg:
    return files.jpg;
  case platform::ImageType::Bmp:
    return files.bmp;
  case platform::ImageType::Gif:
    return files.gif;
  case platform::ImageType::Png:
    return files.png;
  case platform::ImageType::None:
    break;
  }
  return {};
}
} // namespace

bool MainForm::captureMayStart(std::optional<std::uint16_t> hotKeyId) {
  if (floodLockRefuses()) return false;
  if (flags_.downloading) {
    platform_.messages.beep();
    return false;
  }
  if (hotKeyId && *hotKeyId != hotKeyId_ && !pressed(lastRegionKey_, *hotKeyId) &&
      !pressed(recordKey_, *hotKeyId))
    return false;
  if (uploadRunningRefuses()) return false;
  if (recorder_ && recorder_->recording()) {
    platform_.tray.showBalloon(platform::BalloonIcon::Info, recordingRunsText);
    return false;
  }
  if (platform_.selectionView.visible()) {
    platform_.messages.beep();
    return false;
  }
  // The control being edited holds the keys, not the tray menu.
  return !hotKeyId || flags_.hotKeyReady;
}

void MainForm::onHotKey(std::uint16_t id) {
  if (id != hotKeyId_ && pressed(recordKey_, id)) return onRecordKey(id);
  if (captureMayStart(id)) runCapture(id != hotKeyId_ && pressed(lastRegionKey_, id), false);
}

void MainForm::onRecordKey(std::optional<std::uint16_t> hotKeyId) {
  if (!recorder_) return;
  if (recorder_->recording()) return recorder_->stop();
  if (captureMayStart(hotKeyId)) runCapture(false, !hotKeyId, true);
}

void MainForm::onTrayRecord() {
  onRecordKey(std::nullopt);
}

void MainForm::onTrayStopRecording() {
  if (recorder_) recorder_->stop();
}

void MainForm::onTrayDiscardRecording() {
  if (recorder_) recorder_->discard();
}

void MainForm::uploadFile(const std::string& file) {
  platform_.view.setUploadFileName(file);
  onUploadButton();
}

// The menu has just closed: what it covered is drawn again before the grab.
void MainForm::onTrayCaptureLastRegion() {
  if (captureMayStart(std::nullopt)) runCapture(true, true);
}

void MainForm::onTrayCaptureDelayed() {
  if (captureMayStart(std::nullopt)) delayed_.start();
}

void MainForm::runCapture(bool lastRegion, bool afterTransient, bool record) {
  auto& view = platform_.view;
  auto& selection = platform_.selectionView;
  delayed_.cancel(); // this capture is the one the countdown was for
  bool allMonitors = platform_.options.checked(platform::CheckBox::AllMonitors);
  capture_.screen = screen::layoutFor(platform_.screen.monitors(), allMonitors);
  capture_.preselected.reset();
  if (lastRegion) {
    capture_.preselected = lastRegion_.within(capture_.screen);
    if (!capture_.preselected) {
      setStatus(noLastRegion);
      platform_.tray.showBalloon(platform::BalloonIcon::Info, noLastRegion);
      return;
    }
  }
  // The user's own window gets the keyboard back when the selection closes. Glimor's window is
  // no part of what the user captures: it goes first, and what it covered is drawn again before
  // the grab. With nothing of ours on the screen nothing is waited for.
  selection.rememberForeground();
  const bool mainShown = view.visible();
  view.hide();
  if (mainShown || afterTransient) selection.waitForScreenToSettle();
  // The clean copy's memory is made ready beside the grab: taking fresh memory costs about as much
  // as filling it, and the grab mostly waits.
  auto cleanCopy = std::async(std::launch::async, [area = capture_.screen.area] {
    return screen::Picture(std::max(0, area.width()), std::max(0, area.height()), 0);
  });
  capture_.p = platform_.screen.grab(capture_.screen.area);
  screen::blackOutUncovered(capture_.p, capture_.screen);
  // The windows on the screen as the grab saw them, for the selection window to snap to
  // ([Options] SnapWindows). Taken after the grab, not beside it: under Wine both wait on the same
  // servers, and the grab then took longer than the list alone (bench/window_snapshot.sh).
  capture_.windows.clear();
  if (settings_.read(platform::ini::snapWindows))
    capture_.windows = screen::windowsInPicture(platform_.screen.windows(), capture_.screen.area);
  capture_.snapshot = cleanCopy.get();
  capture_.snapshot = capture_.p; // into the memory made ready
  capture_.display = platform_.screen.displayFormat();
  capture_.drawing = false;
  setStatus("Now select a part of picture that you want to be cropped.");
  capture_.confirmed = capture_.copied = capture_.published = false;
  capture_.recording = record;
  capture_.copyPicture = settings_.read(platform::ini::copyImage);
  flags_.savedToFile = false;
  capture_.uploadFile =
      uploadFileOf(platform_.options.imageType(), capture::cropFileNamesFor(executablePath_));
  selection.showModal();
  capture_.preselected.reset();
  view.setActivePage(0);
  // The windows are left as they were: ours where it stood, the keyboard with the user's.
  if (mainShown) view.showInactive();
  selection.restoreForeground();

  if (record && capture_.confirmed) {
    setStatus("Recording...");
    try {
      recorder_->start(capture_.selection, capture_.screen);
    } catch (const std::exception& e) {
      platform_.messages.show(std::string("The recording could not start: ") + e.what());
    }
    return;
  }
  if (capture_.confirmed) {
    publishConfirmed(); // unless the confirm has started the upload already
  } else if (flags_.savedToFile) {
    rememberLastRegion();
    setStatus("Saved to file " + flags_.savedFileName);
  } else if (capture_.copied) {
    rememberLastRegion();
    setStatus(copiedToClipboard);
  } else {
    setStatus("Cropping picture canceled.");
  }
}

// A Glimor.ini that cannot be written costs only the next run.
void MainForm::rememberLastRegion() {
  try {
    lastRegion_.remember(capture_.selection, capture_.screen);
  } catch (const Error& e) {
    platform_.messages.show(e.what());
  }
}

void MainForm::publishConfirmed() {
  if (!capture_.confirmed || capture_.published || capture_.recording) return;
  capture_.published = true;
  setStatus("Setting picture type...");
  // Without a chosen type, the upload file stays the one named before.
  if (std::string file = uploadFileOf(platform_.options.imageType(), capture_.files); !file.empty())
    platform_.view.setUploadFileName(file);
  onUploadButton();
  // Written while the request goes out, not before it.
  rememberLastRegion();
}

void MainForm::onUploadButton() {
  if (startUpload_) startUpload_();
}

} // namespace glimor::app
