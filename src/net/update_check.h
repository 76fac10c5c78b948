#pragma once
#include "net/endpoints.h"
#include "net/update_origin.h"
#include "net/update_view.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "platform/timer.h"
#include "platform/url_download.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace glimor::net {

// Status panel 1 when the offered update is the program that runs.
inline constexpr std::string_view statusAlreadyInstalled = "Update already installed.";

struct UpdatePlatform {
  UpdateView& view;
  platform::UrlDownload& urlDownload;
  platform::Files& files;
  platform::Shell& shell;
  platform::Messages& messages;
  platform::Timers& timers;
};

// Keeps the program up to date from the service: the version file, the comparison with the
// running version, the download of a newer executable and the hand-over to it. Nothing is
// downloaded unless the version file is signed under the update key, and nothing is started
// unless the file still has the signed digest right before the start (update_origin.h). An offer
// that is the very program running is not taken again, whatever version either says it is.
class UpdateCheck {
public:
  // `endpoints` is read for each check. `updateKey` is the trusted public key as 64 hex digits, empty when
  // there is none. `downloading` is the program-wide flag that keeps the hot key quiet during a download.
  UpdateCheck(UpdatePlatform platform, EndpointsSource endpoints, std::string executablePath,
              std::string programVersion, std::string updateKey, bool& downloading);

  void CheckForUpdate();
  // The new executable's download holds the hot key (`downloading`); the version file's does not.
  enum class Hold { Nothing, HotKey };
  void DownloadFile(const std::string& url, const std::string& path, Hold hold);
  void DownloadProgress(std::uint32_t progress, std::uint32_t progressMax);

  void checkForUpdateNow() { CheckForUpdate(); } // "Check for updates": no online probe
  void TimerAutoUpdateTimer();
  void TimerUpdateTimer();
  void TimerUpdateDTimer();

  const std::string& newExePath() const { return newExePath_; }
  const std::string& remoteVersion() const { return remoteVersion_; }

private:
  // A download that overran its limits.
  class DownloadExpired : public Error {
  public:
    DownloadExpired(const std::string& url, const platform::DownloadLimits& limits);
  };
  void showRefusal(UpdateRefusal refusal);

  // The checked download that waits for the hand-over timer.
  struct VerifiedDownload {
    std::string path;
    Sha256 digest;
  };
  bool hasDigest(const std::string& path, const Sha256& digest);

  UpdatePlatform platform_;
  EndpointsSource endpoints_;
  std::string executablePath_;
  std::string programVersion_;
  std::string updateKey_;
  bool& downloading_;
  bool checking_ = false;
  std::string newExePath_, remoteVersion_;
  std::optional<VerifiedDownload> verified_;
  std::uint32_t downloadTotal_ = 0, downloadDone_ = 0;
  platform::DownloadLimits limits_;
  std::unique_ptr<platform::Timer> timerAutoUpdate_, timerUpdate_, timerUpdateD_;
};

} // namespace glimor::net
