#pragma once
#include "net/endpoints.h"
#include "platform/clipboard.h"
#include "platform/link_page.h"
#include "platform/processes.h"

#include <string>

namespace glimor::net {

// A copy's outcome, in the balloons of the tray's actions and of an upload.
inline constexpr std::string_view linkCopiedText = "Link copied: ";
inline constexpr std::string_view pictureKeptText = "The picture is on the clipboard; its link: ";
inline constexpr std::string_view linkNotCopiedText =
    "The link could not be copied: another program holds the clipboard.";

// Where the default browser's command is registered.
inline constexpr std::string_view browserCommandKey = "htmlfile\\shell\\open\\command";

// Puts `text` (up to its first NUL) on the clipboard and reads it back. Another program may hold
// the clipboard open for a moment, so the copy is tried again for about half a second before it
// is given up; true once the clipboard holds the text.
bool copyTextToClipboard(platform::Clipboard& clipboard, std::string text);

// The two buttons under the link: "Copy to ClipBoard" and "Open Link".
class LinkActions {
public:
  LinkActions(platform::LinkPage& page, platform::Clipboard& clipboard, platform::Processes& processes,
              EndpointsSource endpoints)
      : page_(page), clipboard_(clipboard), processes_(processes), endpoints_(std::move(endpoints)) {}

  bool copyLink(); // "Copy to ClipBoard": true once the clipboard holds the link
  void openLink(); // "Open Link": only links on the service, in the registered browser
  std::string defaultBrowserCommand();

private:
  platform::LinkPage& page_;
  platform::Clipboard& clipboard_;
  platform::Processes& processes_;
  EndpointsSource endpoints_;
};

} // namespace glimor::net
