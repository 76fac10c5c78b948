#pragma once
#include "net/link_actions.h"
#include "net/upload_history.h"
#include "net/upload_view.h"
#include "platform/link_page.h"
#include "platform/main_view.h"
#include "platform/messages.h"
#include "platform/tray.h"

#include <functional>
#include <string>
#include <vector>

namespace glimor::net {

// The line under a POST error's message that says what to do.
inline constexpr std::string_view timedOutAdvice =
    "The service did not answer in time: check the connection. ";
inline constexpr std::string_view tokenAdvice = "Once the token is saved, ";

// What the upload needs of the main form beyond its controls.
struct UploadFormHooks {
  std::function<void(bool visible)> showLinkPanelSoon;
  std::function<void()> startFloodLock;
};

// The upload's effects carried out on the main window itself; called on the user-interface thread.
class UploadWindow final : public UploadView {
public:
  UploadWindow(platform::MainView& main, platform::LinkPage& page, platform::Messages& messages,
               platform::Tray& tray, LinkActions& links, UploadHistory& history, UploadFormHooks hooks)
      : main_(main), page_(page), messages_(messages), tray_(tray), links_(links), history_(history),
        hooks_(std::move(hooks)) {}

  std::string filePath() override { return main_.uploadFileName(); }
  void setStatus(std::string_view text) override { main_.setStatus(0, std::string(text)); }
  void showBusy() override;
  // The error, then on a line of its own what the user can do about it.
  void showPostError(std::string_view message, PostFailure failure) override;
  void setResponseLines(const std::vector<std::string>& lines) override { responseLines_ = lines; }
  void setLink(std::string_view link) override { page_.setLink(std::string(link)); }
  bool copyLink() override { return links_.copyLink(); }
  void rememberUpload(const UploadRecord& upload) override;
  void startFloodLock() override { hooks_.startFloodLock(); }
  void endBusy() override;
  // A balloon from the tray icon, unless the window is open: there the links page says it.
  void announce(bool failed, std::string_view text) override;

  const std::vector<std::string>& responseLines() const { return responseLines_; } // ResponseLines

private:
  platform::MainView& main_;
  platform::LinkPage& page_;
  platform::Messages& messages_;
  platform::Tray& tray_;
  LinkActions& links_;
  UploadHistory& history_;
  UploadFormHooks hooks_;
  std::vector<std::string> responseLines_;
};

} // namespace glimor::net
