#pragma once
#include "fakes/fake_files.h"
#include "platform/error.h"
#include "platform/url_download.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace glimor::fakes {

// Serves URLs from a map into a FakeFiles; a URL that is not served fails. `duringDownload`
// runs between progress reports, so a test can play the clock while a download is under way.
class FakeUrlDownload final : public platform::UrlDownload {
public:
  explicit FakeUrlDownload(FakeFiles& files) : files_(files) {}

  bool isOnline() override { return online; }
  platform::DownloadOutcome download(const std::string& url, const std::string& path,
                                     const Progress& progress,
                                     const platform::DownloadLimits& given) override {
    requests.push_back(url + " > " + path);
    limits = given;
    if (missingLibrary) throw Error("Unable to load URLMON.DLL");
    if (url == silentUrl) return platform::DownloadOutcome::Expired;
    auto it = served.find(url);
    if (it == served.end()) return platform::DownloadOutcome::Failed;
    for (auto [done, total] : progressSteps) {
      progress(done, total);
      if (duringDownload) duringDownload();
    }
    if (!writesNothing) files_.contents[path] = platform::Bytes(it->second.begin(), it->second.end());
    return platform::DownloadOutcome::Done;
  }

  bool online = true;
  bool missingLibrary = false;
  bool writesNothing = false; // reports success but leaves no file, as a broken cache might
  std::map<std::string, std::string> served;
  std::string silentUrl;           // never answers: the download runs out of time
  platform::DownloadLimits limits; // as the last download was given them
  std::vector<std::pair<std::uint32_t, std::uint32_t>> progressSteps;
  std::function<void()> duringDownload;
  std::vector<std::string> requests;

private:
  FakeFiles& files_;
};

} // namespace glimor::fakes
