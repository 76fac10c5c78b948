#include "net/update_check.h"

#include "net/version_file.h"
#include "platform/error.h"
#include "platform/paths.h"

namespace glimor::net {

UpdateCheck::DownloadExpired::DownloadExpired(const std::string& url, const platform::DownloadLimits& limits)
    : Error(url + " did not arrive in time: the service sent nothing for " +
            std::to_string(limits.pause.count() / 1000) + " s, or too slowly.") {}

UpdateCheck::UpdateCheck(UpdatePlatform platform, EndpointsSource endpoints, std::string executablePath,
                         std::string programVersion, std::string updateKey, bool& downloading)
    : platform_(platform), endpoints_(std::move(endpoints)), executablePath_(std::move(executablePath)),
      programVersion_(std::move(programVersion)), updateKey_(std::move(updateKey)),
      downloading_(downloading) {
  timerAutoUpdate_ = platform_.timers.create(5000, true, [this] { TimerAutoUpdateTimer(); });
  timerUpdate_ = platform_.timers.create(1000, true, [this] { TimerUpdateTimer(); });
  timerUpdateD_ = platform_.timers.create(2000, false, [this] { TimerUpdateDTimer(); });
}

void UpdateCheck::TimerAutoUpdateTimer() {
  timerAutoUpdate_->setEnabled(false);
  if (!platform_.urlDownload.isOnline()) return;
  if (platform_.view.autoUpdateTicked())
    CheckForUpdate();
  else
    platform_.view.setUpdateStatus("AutoUpdate disabled.");
}

void UpdateCheck::CheckForUpdate() {
  // A click on "Check for updates" is handled while a download runs; a second check then would
  // download over the first one's files, so it waits for the running one to end.
  if (checking_) return;
  checking_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{checking_};

  auto& view = platform_.view;
  auto& files = platform_.files;
  if (updateKey_.empty()) {
    showRefusal(UpdateRefusal::NoKey);
    return;
  }
  const std::optional<UpdateKey> key = parseKeyHex(updateKey_);
  if (!key) {
    showRefusal(UpdateRefusal::BadKey);
    return;
  }
  const std::string versionFile = paths::changeExtension(executablePath_, ".upd");
  view.setUpdateStatus("Getting info...");
  try {
    // The version file is small and quiet: the hot key stays free while it comes.
    DownloadFile(endpoints_().versionFileUrl(), versionFile, Hold::Nothing);
    if (!files.exists(versionFile)) {
      view.setUpdateStatus("Unable to load ver_file");
      return;
    }
    std::optional<platform::Bytes> bytes = files.read(versionFile);
    if (!bytes) throw Error("Cannot read file \"" + versionFile + "\".");
    VersionFile version = readVersionFile(*bytes, programVersion_);
    if (version.verdict == VersionFile::Verdict::IncorrectSource ||
        version.verdict == VersionFile::Verdict::IncorrectDestination) {
      view.setUpdateStatus(std::string(verdictText(version.verdict)));
    } else {
      newExePath_ = paths::folderOf(executablePath_) + version.fileName;
      remoteVersion_ = version.version;
      if (version.verdict == VersionFile::Verdict::NoUpdateNeeded) {
        view.setUpdateStatus(std::string(verdictText(version.verdict)));
      } else if (UpdateOrigin origin = checkUpdateOrigin(version, *key); origin.refusal) {
        showRefusal(*origin.refusal);
      } else if (hasDigest(executablePath_, origin.digest)) {
        // Installed already: a release whose program reports a lower version than its version
        // file would otherwise be taken again at every start.
        view.setUpdateStatus(std::string(statusAlreadyInstalled),
                             "No update needed: the update offered as version " + version.version +
                                 " is the program already running (version " + programVersion_ + ").");
      } else {
        view.showMainWindow();
        DownloadFile(version.downloadUrl, newExePath_, Hold::HotKey);
        if (hasDigest(newExePath_, origin.digest)) {
          verified_ = VerifiedDownload{newExePath_, origin.digest};
          timerUpdateD_->setEnabled(true);
        } else {
          files.remove(newExePath_);
          showRefusal(UpdateRefusal::DownloadMismatch);
        }
      }
    }
  } catch (const DownloadExpired& expired) {
    view.setUpdateStatus("Update timed out.", expired.what());
    return;
  } catch (const std::exception&) {
    // The version file stays for a look at what the service sent.
    view.setUpdateStatus("Update failed.");
    return;
  }
  files.remove(versionFile);
}

void UpdateCheck::DownloadFile(const std::string& url, const std::string& path, Hold hold) {
  struct Flag {
    bool& flag;
    bool set;
    ~Flag() {
      if (set) flag = false;
    }
  } downloading{downloading_, hold == Hold::HotKey};
  if (downloading.set) downloading_ = true;
  platform::DownloadOutcome outcome = platform_.urlDownload.download(
      url, path, [this](std::uint32_t done, std::uint32_t total) { DownloadProgress(done, total); }, limits_);
  if (outcome == platform::DownloadOutcome::Expired) throw DownloadExpired(url, limits_);
  if (outcome != platform::DownloadOutcome::Done) throw Error("Error downloading URL: " + url);
}

void UpdateCheck::DownloadProgress(std::uint32_t progress, std::uint32_t progressMax) {
  downloadTotal_ = progressMax;
  downloadDone_ = progress;
}

void UpdateCheck::showRefusal(UpdateRefusal refusal) {
  platform_.view.setUpdateStatus(refusalText(refusal), refusalReason(refusal));
}

void UpdateCheck::TimerUpdateTimer() {
  if (!downloading_ || downloadTotal_ == 0) return;
  // In 64 bits: a size of several hundred megabytes times 100 overflows 32.
  std::uint64_t percent = std::uint64_t{downloadDone_} * 100 / downloadTotal_;
  platform_.view.setUpdateStatus("Update: " + std::to_string(percent) + " %");
}

bool UpdateCheck::hasDigest(const std::string& path, const Sha256& digest) {
  std::optional<platform::Bytes> bytes = platform_.files.read(path);
  return bytes && sha256Of(*bytes) == digest;
}

void UpdateCheck::TimerUpdateDTimer() {
  timerUpdateD_->setEnabled(false);
  if (!verified_) return;
  // The path of the checked download, not newExePath_: a later check may name another file.
  const VerifiedDownload download = *verified_;
  verified_.reset();
  if (!platform_.files.exists(download.path)) {
    platform_.messages.show("Updated file not found.");
  } else if (!hasDigest(download.path, download.digest)) {
    platform_.files.remove(download.path);
    showRefusal(UpdateRefusal::ChangedBeforeStart);
  } else {
    platform_.shell.execute(download.path, "-updating");
    platform_.view.endApplication();
  }
}

} // namespace glimor::net
