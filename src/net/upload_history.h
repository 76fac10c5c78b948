#pragma once
#include "net/upload_record.h"
#include "platform/files.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimor::net {

// How many uploads the history keeps, and the longest link or deletion link it takes.
inline constexpr std::size_t historyKept = 100;
inline constexpr std::size_t historyLinkLimit = 2048;
// The most of the file that is read: the lines of historyKept uploads at their longest.
inline constexpr std::size_t historyReadLimit = 512 * 1024;

// One upload as a line of the history file, without its line end: time, link, deletion link
// (empty when none), file type and size, separated by tabs, which no web link holds; then "GET"
// when the deletion link is to be opened rather than posted to.
std::string historyLine(const UploadRecord& upload);
// The upload a line holds; nothing for a damaged line (wrong fields, links that are no web links).
std::optional<UploadRecord> parseHistoryLine(std::string_view line);

// Glimor.history beside the program: the last uploads, oldest first. The file is not trusted:
// a damaged line is skipped, and only historyReadLimit bytes of it are read. Every change
// replaces the file atomically. Used on one thread.
class UploadHistory {
public:
  using Now = std::function<std::chrono::system_clock::time_point()>;
  UploadHistory(platform::Files& files, std::string path, Now now = std::chrono::system_clock::now)
      : files_(files), path_(std::move(path)), now_(std::move(now)) {}

  std::vector<UploadRecord> uploads();
  // Keeps `upload` with the time now as the newest; false, and nothing written, for one whose
  // line could not be read back. Throws Error when the file cannot be written.
  bool add(UploadRecord upload);
  // Drops the upload with this link and deletion link; false when the history has none.
  bool remove(const UploadRecord& upload);

private:
  void write(const std::vector<UploadRecord>& uploads);

  platform::Files& files_;
  std::string path_;
  Now now_;
};

} // namespace glimor::net
