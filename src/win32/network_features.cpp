#include "win32/network_features.h"

#include "app/startup.h"
#include "platform/paths.h"
#include "platform/socket.h"
#include "platform/tls.h"
#include "win32/control_ids.h"

namespace glimor::win32 {

NetworkFeatures::NetworkFeatures(NetworkPlatform platform, std::string executablePath,
                                 std::string serviceHost, std::string caCertificate,
                                 const std::string& uploadToken)
    : platform_(platform), executablePath_(std::move(executablePath)), endpoints_(std::move(serviceHost)),
      clients_(platform::systemNetwork(), {}, {&platform::systemTls(), std::move(caCertificate)},
               uploadToken),
      updateWindow_(platform.main, platform.main, [this] { ::DestroyWindow(platform_.main.hwnd()); }),
      history_(platform.files, paths::folderOf(executablePath_) + "Glimor.history") {}

void NetworkFeatures::attach() {
  MainWindow& main = platform_.main;
  app::MainForm& form = platform_.form;
  clipboard_.setOwner(main.hwnd());
  urlDownload_.setDialogWindow(main.hwnd());

  // The busy animation sits on the links page, under the link panel that hides it once shown.
  busy_.createWindow(main.page(0), 144, 48, 97, 17);
  linkPage_ =
      std::make_unique<LinkPageControls>(main.control(ids::directLink), main.control(ids::label12), busy_);
  links_ = std::make_unique<net::LinkActions>(*linkPage_, clipboard_, processes_, endpoints_);

  uploadWindow_ = std::make_unique<net::UploadWindow>(
      main, *linkPage_, platform_.messages, *links_, history_,
      net::UploadFormHooks{[&form](bool visible) { form.showLinkPanelSoon(visible); },
                           [&form] { form.startFloodLock(); }});
  uploader_ = std::make_unique<net::TUploader>(*uploadWindow_, ui_, clients_.HTTP, endpoints_.uploadUrl(),
                                               platform_.files);
  form.setUploadStarter([this] { uploader_->start(); });
  form.setUploadRunning([this] { return uploader_->running(); });

  recentUploads_ = std::make_unique<net::RecentUploads>(
      history_,
      net::RecentUploadsPlatform{clipboard_, platform_.messages, ui_,
                                 [&form](const std::string& text) { form.setStatus(text); }},
      clients_.deletionHTTP, app::applicationTitle);
  form.setTrayHistory(
      {[this] {
         return platform::TrayMenu{recentUploads_->recentLinks(), recentUploads_->canDeleteLast()};
       },
       [this](const std::string& link) { recentUploads_->copyLink(link); },
       [this] { recentUploads_->deleteLast(); }});

  update_ = std::make_unique<net::UpdateCheck>(
      net::UpdatePlatform{updateWindow_, urlDownload_, platform_.files, platform_.shell, platform_.messages,
                          platform_.timers},
      endpoints_, executablePath_, app::programVersion,
      form.settings().updatePublicKey(net::builtInUpdateKey()), platform_.flags.downloading);

  HWND contact = main.control(ids::sendFeedback);
  feedbackGroup_ = std::make_unique<FeedbackGroup>(main, [&main] { main.setActivePage(0); });
  feedback_ = std::make_unique<net::FeedbackForm>(*feedbackGroup_, platform_.messages, platform_.timers, ui_,
                                                  clients_.contactHTTP, endpoints_.feedbackUrl());
  auto font = reinterpret_cast<HFONT>(::SendMessageA(contact, WM_GETFONT, 0, 0));
  feedbackGroup_->createWindow(
      main.page(2), contact, font,
      {[this] { feedback_->btnAbortClick(); }, [this] { feedback_->btnSubmitClick(); }});

  main.setNetworkCommands([this](int id, int code) { onCommand(id, code); });
}

bool NetworkFeatures::exchangeRunning() const {
  return (uploader_ && uploader_->running()) || (feedback_ && feedback_->sending()) ||
         (recentUploads_ && recentUploads_->deleting());
}

void NetworkFeatures::onCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
  case ids::copyLink:
    links_->suiButton1Click();
    break;
  case ids::openLink:
    links_->suiButton2Click();
    break;
  case ids::checkForUpdates:
    update_->suiButton3Click();
    break;
  case ids::sendFeedback:
    feedback_->btnContactClick();
    break;
  default:
    break;
  }
}

} // namespace glimor::win32
