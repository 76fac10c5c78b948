#include "app/main_form.h"

#include "app/shortcut.h"
#include "app/startup.h"
#include "platform/error.h"

namespace glimor::app {

MainForm::MainForm(MainFormPlatform platform, ProgramFlags& flags, capture::CaptureState& capture,
                   std::string executablePath)
    : platform_(platform), flags_(flags), capture_(capture), executablePath_(std::move(executablePath)),
      settings_(platform.profile),
      autoStart_(platform.registry, platform.options, platform.messages, executablePath_),
      delayed_(platform.timers, platform.tray, [this] {
        if (captureMayStart(std::nullopt)) runCapture(false, true);
      }) {
  auto& timers = platform_.timers;
  autoStartTimer_ = timers.create(500, false, [this] { autoStart_.tick(); });
  linkPanelTimer_ = timers.create(100, false, [this] { onLinkPanelTimer(); });
  trayIconTimer_ = timers.create(3000, true, [this] { platform_.tray.add(); });
  floodLockTimer_ = timers.create(floodLockMs, false, [this] { onFloodTimer(); });
}

void MainForm::create() {
  flags_.hotKeyReady = true;
  platform_.tray.add();
  flags_.quitRequested = false;
  autoStart_.createWatcher();

  auto& options = platform_.options;
  auto hotKey = static_cast<std::uint16_t>(settings_.read(platform::ini::hotKey));
  // A stored combination that cannot be registered (older versions stored 0 when a modifier was
  // pressed alone) gives way to the default rather than leave the user without a hot key.
  if (HotKeyCombination stored = registrationFormOf(hotKey); stored.key == 0 || stored.modifiers == 0)
    hotKey = defaultShortcut;
  options.setHotKey(hotKey);
  // A settings file that cannot be written must not cost the rest of the start:
  // the error is reported and the options, version and autostart mirror still come up.
  loadExtraKey(lastRegionKey_, 0);
  loadExtraKey(recordKey_, defaultRecordShortcut);
  // Each registration stores its key, and a file that cannot be written says so once.
  std::string failure;
  for (auto registration :
       {&MainForm::registerHotKey, &MainForm::registerLastRegionHotKey, &MainForm::registerRecordHotKey}) {
    try {
      (this->*registration)();
    } catch (const Error& e) {
      if (failure.empty()) failure = e.what();
    }
  }
  if (!failure.empty()) platform_.messages.show(failure);

  std::string type = settings_.read(platform::ini::imageType);
  if (type == "JPEG")
    options.setImageType(platform::ImageType::Jpeg);
  else if (type == "BMP")
    options.setImageType(platform::ImageType::Bmp);
  else if (type == "GIF")
    options.setImageType(platform::ImageType::Gif);
  else if (type == "PNG")
    options.setImageType(platform::ImageType::Png);
  else
    options.setImageType(platform::ImageType::None);

  options.setChecked(platform::CheckBox::Fade, settings_.read(platform::ini::fade));
  options.setChecked(platform::CheckBox::AutoUpdate, settings_.read(platform::ini::autoUpdate));
  options.setChecked(platform::CheckBox::AllMonitors, settings_.read(platform::ini::allMonitors));
  options.setUploadToken(settings_.serviceToken());
  options.setRecordingType(RecordSettings::read(platform_.profile).type);
  platform_.view.setVersionText(programVersion);

  if (settings_.read(platform::ini::installed) == 0) {
    settings_.write(platform::ini::installed, 1);
    platform_.view.show();
    options.setChecked(platform::CheckBox::AutoStart, true);
    autoStart_.update();
  }
  autoStartTimer_->setEnabled(true);
}

void MainForm::destroy() {
  platform_.tray.remove();
  platform_.hotKeys.unregisterKey(hotKeyId_);
  platform_.hotKeys.deleteAtom(hotKeyId_);
  for (const ExtraHotKey* key : {&lastRegionKey_, &recordKey_}) {
    if (key->inForce != 0) platform_.hotKeys.unregisterKey(key->id);
    if (key->id != 0) platform_.hotKeys.deleteAtom(key->id);
  }
}

// A stored combination that cannot be registered gives way to `fallback`; so does one that another
// hot key holds already, which would otherwise greet the start with a message.
void MainForm::loadExtraKey(ExtraHotKey& key, std::uint16_t fallback) {
  auto shortcut = static_cast<std::uint16_t>(settings_.read(*key.setting));
  if (shortcut == 0) return (platform_.options.*key.show)(0);
  if (HotKeyCombination stored = registrationFormOf(shortcut); stored.key == 0 || stored.modifiers == 0)
    shortcut = fallback;
  const std::uint16_t taken[] = {platform_.options.hotKey(), platform_.options.lastRegionHotKey()};
  for (std::uint16_t other : taken)
    if (&key == &recordKey_ && shortcut == other) shortcut = 0;
  (platform_.options.*key.show)(shortcut);
}

void MainForm::onRecordingTypeSelected(platform::RecordingType type) {
  RecordSettings::writeType(platform_.profile, type);
}

bool MainForm::closeQuery() {
  bool close = false;
  if (!flags_.quitRequested)
    platform_.view.hide();
  else
    close = quitAgreed_ || platform_.messages.askYesNo("Are you sure want to Quit application?", "Exit?",
                                                       platform::Messages::Default::Yes);
  flags_.quitRequested = false;
  quitAgreed_ = false;
  return close;
}

void MainForm::onQuitMessage() {
  quitAgreed_ = true;
  flags_.quitRequested = true;
  platform_.view.requestClose();
}

void MainForm::onImageTypeSelected(platform::ImageType type) {
  switch (type) {
  case platform::ImageType::Jpeg:
    settings_.write(platform::ini::imageType, std::string("JPEG"));
    break;
  case platform::ImageType::Bmp:
    settings_.write(platform::ini::imageType, std::string("BMP"));
    break;
  case platform::ImageType::Gif:
    settings_.write(platform::ini::imageType, std::string("GIF"));
    break;
  case platform::ImageType::Png:
    settings_.write(platform::ini::imageType, std::string("PNG"));
    break;
  case platform::ImageType::None:
    break;
  }
}

void MainForm::onFadeChanged() {
  settings_.write(platform::ini::fade, platform_.options.checked(platform::CheckBox::Fade));
}

void MainForm::onAllMonitorsChanged() {
  settings_.write(platform::ini::allMonitors, platform_.options.checked(platform::CheckBox::AllMonitors));
}

void MainForm::onAutoUpdateChanged() {
  settings_.write(platform::ini::autoUpdate, platform_.options.checked(platform::CheckBox::AutoUpdate));
}

// Compared with the file as it is now: the uploads read the token from there for each exchange.
void MainForm::onUploadTokenChanged() {
  std::string stored = settings_.serviceToken();
  // A pasted token often brings a space or a line break along: they are no part of any token.
  const std::string field = platform_.options.uploadToken();
  const std::size_t first = field.find_first_not_of(" \t\r\n");
  const std::string typed =
      first == std::string::npos ? "" : field.substr(first, field.find_last_not_of(" \t\r\n") + 1 - first);
  if (typed != field) platform_.options.setUploadToken(typed);
  try {
    if (typed != stored) settings_.setServiceToken(typed);
  } catch (const Error&) {
    // The field shows what counts again, as the hot key control does after a refusal.
    platform_.options.setUploadToken(stored);
    throw;
  }
}

void MainForm::onHotKeyFocus() {
  flags_.hotKeyReady = false;
}

void MainForm::onAutoStartMouseUp() {
  autoStart_.update();
}

void MainForm::onAutoStartKeyToggle() {
  autoStart_.update();
}

void MainForm::showLinkPanelSoon(bool visible) {
  showLinkPanel_ = visible;
  linkPanelTimer_->setEnabled(true);
}

void MainForm::onLinkPanelTimer() {
  linkPanelTimer_->setEnabled(false);
  platform_.view.setLinkPanelVisible(showLinkPanel_);
}

void MainForm::startFloodLock() {
  flags_.floodLock = true;
  floodLockStart_ = platform_.timers.nowMs();
  floodLockTimer_->setEnabled(true);
}

void MainForm::onFloodTimer() {
  flags_.floodLock = false;
  floodLockTimer_->setEnabled(false);
  platform_.view.setStatus(0, "Glimor is now ready.");
}

} // namespace glimor::app
