#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace glimor::platform {

// How long one download may take, however the service paces it.
struct DownloadLimits {
  std::chrono::milliseconds pause{60000};  // longest time without any progress
  std::chrono::milliseconds whole{90000};  // for a file of up to `wholeCovers` bytes
  std::uint64_t wholeCovers = 1024 * 1024; // ... and for a larger one as much more as
  std::uint64_t slowestRate = 64 * 1024;   // receiving the rest at this many bytes a second takes

  std::chrono::milliseconds wholeFor(std::uint64_t size) const {
    if (size <= wholeCovers) return whole;
    return whole + std::chrono::milliseconds((size - wholeCovers) * 1000 / slowestRate);
  }
};

enum class DownloadOutcome { Done, Failed, Expired };

// The system's own URL download and online probe, as the update check uses them.
class UrlDownload {
public:
  virtual ~UrlDownload() = default;

  // Whether the system says it is online; false when it cannot say.
  virtual bool isOnline() = 0;

  // Progress as the download reports it: the amount done and the total (0 while unknown).
  using Progress = std::function<void(std::uint32_t done, std::uint32_t total)>;

  // Downloads `url` into the file `path`. The caller's thread waits, handling the window's
  // messages, and `progress` is called on it whenever the amount changes. The file appears
  // only when the download is whole; Expired when it overran `limits` (what it left behind is
  // removed), Failed when it did not succeed. Throws Error("Unable to load URLMON.DLL") when
  // the system has no download function.
  virtual DownloadOutcome download(const std::string& url, const std::string& path, const Progress& progress,
                                   const DownloadLimits& limits) = 0;
};

} // namespace glimor::platform
