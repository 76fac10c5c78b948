#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace glimor::platform {

// The system's own URL download and online probe, as the update check uses them.
class UrlDownload {
public:
  virtual ~UrlDownload() = default;

  // Whether the system says it is online; false when it cannot say.
  virtual bool isOnline() = 0;

  // Progress as the download reports it: the amount done and the total (0 while unknown).
  using Progress = std::function<void(std::uint32_t done, std::uint32_t total)>;

  // Downloads `url` into the file `path`, blocking, calling `progress` for every notification.
  // False when the download did not succeed; throws Error("Unable to load URLMON.DLL") when the
  // system has no download function.
  virtual bool download(const std::string& url, const std::string& path, const Progress& progress) = 0;
};

} // namespace glimor::platform
