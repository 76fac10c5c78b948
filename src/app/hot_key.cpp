// The global hot key: its registration and the capture that a press starts.
#include "app/main_form.h"
#include "app/shortcut.h"

namespace glimor::app {

void MainForm::registerHotKey() {
  std::uint16_t shortcut = platform_.options.hotKey();
  HotKeyCombination combination = registrationFormOf(shortcut);
  // No key yet (only modifiers so far, or a modifier pressed and let go alone): the user is
  // still typing, and an empty combination would leave no working hot key at all.
  if (combination.key == 0) return;
  hotKeyId_ = platform_.hotKeys.addAtom("MyHotKey_1");
  if (combination.modifiers == 0) {
    // One key, one message: while it is open the control has lost the focus (and been given the
    // combination in force back), and the character the key typed may reach it and change it again.
    if (refusingHotKey_) return;
    refusingHotKey_ = true;
    struct Closed {
      bool& refusing;
      ~Closed() { refusing = false; }
    } closed{refusingHotKey_};
    platform_.messages.show("You must select at least one modifier: CTRL, ALT, SHIFT.");
    // What the control shows then is the combination that works, as when the focus leaves it.
    if (hotKeyInForce_ != 0) platform_.options.setHotKey(hotKeyInForce_);
    return;
  }
  // The id stays the same, and the system refuses a second registration under an
  // id in use, so the previous combination is withdrawn first.
  if (hotKeyRegistered_) platform_.hotKeys.unregisterKey(hotKeyId_);
  platform_.hotKeys.registerKey(hotKeyId_, combination.modifiers, combination.key);
  hotKeyRegistered_ = true;
  hotKeyInForce_ = shortcut;
  settings_.writeInteger("HotKey", shortcut);
  flags_.hotKeyReady = true;
}

void MainForm::onHotKeyBlur() {
  // What the control shows when the user moves on is the combination that works.
  if (platform_.options.hotKey() != hotKeyInForce_) platform_.options.setHotKey(hotKeyInForce_);
}

void MainForm::onHotKey(std::uint16_t id) {
  auto& view = platform_.view;
  if (flags_.floodLock) {
    view.setStatus(0, "AntiFlood protection: Please wait 5 seconds.");
    return;
  }
  if (flags_.downloading) {
    platform_.messages.beep();
    return;
  }
  if (id != hotKeyId_) return;
  if (view.status(0) == uploadingStatus || (uploadRunning_ && uploadRunning_())) return;
  if (platform_.selectionView.visible()) {
    platform_.messages.beep();
    return;
  }
  if (!flags_.hotKeyReady) return;

  // The main window is still as it was, so a visible window is part of the picture.
  bool allMonitors = platform_.options.checked(platform::CheckBox::AllMonitors);
  capture_.screen = capture::layoutFor(platform_.screen.monitors(), allMonitors);
  capture_.p = platform_.screen.grab(capture_.screen.area);
  capture::blackOutUncovered(capture_.p, capture_.screen);
  // The windows on the screen as the grab saw them, for the selection window to snap to
  // ([Options] SnapWindows). Taken after the grab, not beside it: under Wine both wait on the same
  // servers, and the grab then took longer than the list alone (bench/window_snapshot.sh).
  capture_.windows.clear();
  if (settings_.readBool("SnapWindows", true))
    capture_.windows = capture::windowsInPicture(platform_.screen.windows(), capture_.screen.area);
  capture_.snapshot = capture_.p;
  capture_.display = platform_.screen.displayFormat();
  capture_.drawing = false;
  setStatus("Now select a part of picture that you want to be cropped.");
  capture_.confirmed = false;
  view.hide();
  platform_.selectionView.sleep(100);
  flags_.savedToFile = false;
  platform_.selectionView.showModal();
  view.setActivePage(0);

  if (capture_.confirmed) {
    setStatus("Setting picture type...");
    switch (platform_.options.imageType()) {
    case platform::ImageType::Jpeg:
      view.setUploadFileName(capture_.files.jpg);
      break;
    case platform::ImageType::Bmp:
      view.setUploadFileName(capture_.files.bmp);
      break;
    case platform::ImageType::Gif:
      view.setUploadFileName(capture_.files.gif);
      break;
    case platform::ImageType::Png:
      view.setUploadFileName(capture_.files.png);
      break;
    case platform::ImageType::None:
      break; // Edit1 keeps what it held
    }
    onUploadButton();
  } else if (flags_.savedToFile) {
    setStatus("Saved to file " + flags_.savedFileName);
  } else {
    setStatus("Cropping picture canceled.");
  }
}

void MainForm::onUploadButton() {
  platform_.view.show();
  platform_.view.bringToFront();
  platform_.view.repaintNow();
  if (startUpload_) startUpload_();
}

} // namespace glimor::app
