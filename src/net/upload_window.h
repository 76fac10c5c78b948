#pragma once
#include "net/link_actions.h"
#include "net/upload_history.h"
#include "net/upload_view.h"
#include "platform/link_page.h"
#include "platform/main_view.h"
#include "platform/messages.h"

#include <functional>
#include <string>
#include <vector>

namespace glimor::net {

// What the upload needs of the main form beyond its controls.
struct UploadFormHooks {
  std::function<void(bool visible)> showLinkPanelSoon; // ShowLinkPanel and Timer1
  std::function<void()> startFloodLock;                // FloodLock and FloodEr
};

// The upload's effects carried out on the main window itself; called on the user-interface thread.
class UploadWindow final : public UploadView {
public:
  UploadWindow(platform::MainView& main, platform::LinkPage& page, platform::Messages& messages,
               LinkActions& links, UploadHistory& history, UploadFormHooks hooks)
      : main_(main), page_(page), messages_(messages), links_(links), history_(history),
        hooks_(std::move(hooks)) {}

  std::string filePath() override { return main_.uploadFileName(); }
  void setStatus(std::string_view text) override { main_.setStatus(0, std::string(text)); }
  void showBusy() override;
  void showPostError(std::string_view message) override { messages_.show(std::string(message)); }
  void setResponseLines(const std::vector<std::string>& lines) override { responseLines_ = lines; }
  void setLink(std::string_view link) override { page_.setLink(std::string(link)); }
  void copyLink() override { links_.copyLink(); }
  void rememberUpload(const UploadRecord& upload) override;
  void bringToFront() override { main_.bringToFront(); }
  void startFloodLock() override { hooks_.startFloodLock(); }
  void showMainWindow() override { main_.show(); }
  void endBusy() override;

  const std::vector<std::string>& responseLines() const { return responseLines_; } // ResponseLines

private:
  platform::MainView& main_;
  platform::LinkPage& page_;
  platform::Messages& messages_;
  LinkActions& links_;
  UploadHistory& history_;
  UploadFormHooks hooks_;
  std::vector<std::string> responseLines_;
};

} // namespace glimor::net
