#include "net/link_actions.h"

#include "net/browser_command.h"

namespace glimor::net {

bool copyTextToClipboard(platform::Clipboard& clipboard, std::string text) {
  if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  constexpr int attempts = 10;
  constexpr unsigned pauseMs = 50;
  for (int attempt = 1;; ++attempt) {
    if (clipboard.setText(text) && clipboard.text() == text) return true;
    if (attempt == attempts) return false;
    clipboard.sleep(pauseMs);
  }
}

bool LinkActions::copyLink() {
  return copyTextToClipboard(clipboard_, page_.link());
}

void LinkActions::openLink() {
  const std::string link = page_.link();
  // The service the settings name now: a link from one configured before is only copied.
  if (!isServiceLink(link, endpoints_().baseUrl())) return;
  BrowserStart start = browserStart(defaultBrowserCommand(), link);
  // A browser that does not start is not reported: the link stays there to be copied.
  processes_.start(start.programPath, start.commandLine);
}

std::string LinkActions::defaultBrowserCommand() {
  return processes_.classesRootDefault(std::string(browserCommandKey)).value_or("");
}

} // namespace glimor::net
