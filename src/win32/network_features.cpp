#include "win32/network_features.h"

#include "app/startup.h"
#include "platform/paths.h"
#include "platform/socket.h"
#include "platform/tls.h"

namespace glimor::win32 {

NetworkFeatures::NetworkFeatures(NetworkPlatform platform, std::string executablePath,
                                 std::string serviceHost, std::string caCertificate,
                                 const std::string& uploadToken)
    : executablePath_(std::move(executablePath)), endpoints_(std::move(serviceHost)),
      clients_(platform::systemNetwork(), {}, {&platform::systemTls(), std::move(caCertificate)},
               uploadToken),
      links_(platform.main.linkPage(), clipboard_, processes_, endpoints_),
      history_(platform.files, paths::folderOf(executablePath_) + "Glimor.history"),
      recentUploads_(history_,
                     net::RecentUploadsPlatform{
                         clipboard_, platform.messages, ui_, platform.main, platform.main.linkPage(),
                         [&form = platform.form](const std::string& text) { form.setStatus(text); }},
                     clients_.deletionHTTP, app::applicationTitle),
      uploadWindow_(
          platform.main, platform.main.linkPage(), platform.messages, links_, history_,
          net::UploadFormHooks{[&form = platform.form](bool visible) { form.showLinkPanelSoon(visible); },
                               [&form = platform.form] { form.startFloodLock(); }}),
      uploader_(uploadWindow_, ui_, clients_.HTTP, endpoints_.uploadUrl(), platform.files),
      update_(net::UpdatePlatform{platform.main.updateTexts(), urlDownload_, platform.files, platform.shell,
                                  platform.messages, platform.timers},
              endpoints_, executablePath_, app::programVersion,
              platform.form.settings().updatePublicKey(net::builtInUpdateKey()), platform.flags.downloading),
      feedback_(platform.main.feedbackForm(), platform.messages, platform.timers, ui_, clients_.contactHTTP,
                endpoints_.feedbackUrl()) {
  MainWindow& main = platform.main;
  app::MainForm& form = platform.form;
  clipboard_.setOwner(main.hwnd());
  urlDownload_.setDialogWindow(main.hwnd());
  form.setUploadStarter([this] { uploader_.start(); });
  form.setUploadRunning([this] { return uploader_.running(); });
  form.setUploadCanceller([this] { uploader_.cancel(); });
  form.setTrayHistory(
      {[this] {
         return platform::TrayMenu{recentUploads_.recentLinks(), recentUploads_.canDeleteLast()};
       },
       [this](const std::string& link) { recentUploads_.copyLink(link); },
       [this] { recentUploads_.deleteLast(); }});
  main.setNetworkClicks({.openLink = [this] { links_.suiButton2Click(); },
                         .copyLink = [this] { links_.suiButton1Click(); },
                         .checkForUpdates = [this] { update_.suiButton3Click(); },
                         .sendFeedback = [this] { feedback_.btnContactClick(); },
                         .abortFeedback = [this] { feedback_.btnAbortClick(); },
                         .submitFeedback = [this] { feedback_.btnSubmitClick(); }});
}

bool NetworkFeatures::exchangeRunning() const {
  return uploader_.running() || feedback_.sending() || recentUploads_.deleting();
}

} // namespace glimor::win32
