#include "win32/network_features.h"

#include "app/startup.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "platform/socket.h"
#include "platform/tls.h"
#include "win32/uploader_dialog.h"

namespace glimor::win32 {

namespace {

// Glimor.ini's [Service] section, the one place Glimor.exe reads it.
net::ServiceClients::SettingsSource serviceSettingsOf(app::Settings& settings, std::string programFolder) {
  return [&settings, programFolder = std::move(programFolder)] {
    return net::ServiceSettings{settings.serviceHost(),
                                settings.serviceToken(),
                                settings.serviceCaCertificate(programFolder),
                                settings.serviceUploader(programFolder),
                                settings.read(platform::ini::copyImage),
                                settings.servicePageLink()};
  };
}

} // namespace

NetworkFeatures::NetworkFeatures(NetworkPlatform platform, std::string executablePath)
    : executablePath_(std::move(executablePath)),
      clients_(platform::systemNetwork(), &platform::systemTls(),
               serviceSettingsOf(platform.form.settings(), paths::folderOf(executablePath_)),
               std::string(net::tokenOnOptionsPage)),
      uploadTarget_(
          platform.files, serviceSettingsOf(platform.form.settings(), paths::folderOf(executablePath_)),
          [&settings = platform.form.settings()](const std::string& path) {
            settings.setServiceUploader(path);
          },
          platform.main),
      links_(platform.main.linkPage(), clipboard_, processes_, [this] { return clients_.endpoints(); }),
      history_(platform.files, paths::folderOf(executablePath_) + "Glimor.history"),
      recentUploads_(history_,
                     net::RecentUploadsPlatform{
                         clipboard_, platform.messages, ui_, platform.main, platform.main.linkPage(),
                         [&form = platform.form](const std::string& text) { form.setStatus(text); }},
                     clients_, app::applicationTitle),
      uploadWindow_(
          platform.main, platform.main.linkPage(), platform.messages, platform.main, links_, history_,
          net::UploadFormHooks{[&form = platform.form](bool visible) { form.showLinkPanelSoon(visible); },
                               [&form = platform.form] { form.startFloodLock(); }}),
      uploader_(uploadWindow_, ui_, clients_, platform.files),
      update_(
          net::UpdatePlatform{platform.main.updateTexts(), urlDownload_, platform.files, platform.shell,
                              platform.messages, platform.timers},
          [this] { return clients_.endpoints(); }, executablePath_, app::programVersion,
          platform.form.settings().updatePublicKey(net::builtInUpdateKey()), platform.flags.downloading),
      feedback_(platform.main.feedbackForm(), platform.messages, platform.timers, ui_, clients_) {
  MainWindow& main = platform.main;
  app::MainForm& form = platform.form;
  clipboard_.setOwner(main.hwnd());
  urlDownload_.setDialogWindow(main.hwnd());
  form.setUploadStarter([this] { uploader_.start(); });
  form.setUploadPreparer([this] { uploader_.prepare(); });
  form.setUploadRunning([this] { return uploader_.running(); });
  form.setUploadCanceller([this] { uploader_.cancel(); });
  form.setUploadFileCheck([&files = platform.files](const std::string& path) { return files.exists(path); });
  form.setTrayHistory(
      {[this] {
         return platform::TrayMenu{recentUploads_.recentLinks(), recentUploads_.canDeleteLast()};
       },
       [this](const std::string& link) { recentUploads_.copyLink(link); },
       [this] { recentUploads_.deleteLast(); }});
  main.setNetworkClicks(
      {.openLink = [this] { links_.openLink(); },
       .copyLink = [this] { links_.copyLink(); },
       .checkForUpdates = [this] { update_.checkForUpdateNow(); },
       .sendFeedback = [this] { feedback_.btnContactClick(); },
       .abortFeedback = [this] { feedback_.btnAbortClick(); },
       .submitFeedback = [this] { feedback_.btnSubmitClick(); },
       .chooseUploader = [this, &main, &messages = platform.messages] { chooseUploader(main, messages); }});
  uploadTarget_.show();
}

// "Uploader file...": a file that can be used is taken; a refused one is told and changes nothing.
// Cancelling the dialog while a file is set offers the image service again.
void NetworkFeatures::chooseUploader(MainWindow& main, platform::Messages& messages) {
  const net::ServiceSettings settings = clients_.settings();
  std::optional<std::string> path = askUploaderFile(
      main.hwnd(), paths::folderOf(settings.uploaderFile.empty() ? executablePath_ : settings.uploaderFile));
  try {
    if (path)
      uploadTarget_.choose(*path);
    else if (!settings.uploaderFile.empty() &&
             messages.askYesNo("Upload to the image service at " + settings.host + " again?",
                               app::applicationTitle, platform::Messages::Default::No))
      uploadTarget_.choose("");
  } catch (const Error& error) {
    messages.show(error.what());
  }
}

bool NetworkFeatures::exchangeRunning() const {
  return uploader_.running() || feedback_.sending() || recentUploads_.deleting();
}

} // namespace glimor::win32
