#include "net/upload_history.h"

#include "net/web_link.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace glimor::net {
namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// "YYYY-MM-DDTHH:MM:SSZ"
bool isUtcTime(std::string_view text) {
  constexpr std::string_view shape = "0000-00-00T00:00:00Z";
  if (text.size() != shape.size()) return false;
  for (std::size_t i = 0; i < shape.size(); ++i)
    if (shape[i] == '0' ? !isDigit(text[i]) : text[i] != shape[i]) return false;
  return true;
}

std::string utcTime(std::chrono::system_clock::time_point at) {
  using namespace std::chrono;
  auto seconds = floor<std::chrono::seconds>(at);
  auto day = floor<days>(seconds);
  year_month_day date{day};
  hh_mm_ss time{seconds - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

bool isKeptLink(std::string_view text) {
  return text.size() <= historyLinkLimit && isWebLink(text);
}

} // namespace

std::string historyLine(const UploadRecord& upload) {
  return upload.time + '\t' + upload.link + '\t' + upload.deletionUrl + '\t' + upload.fileType + '\t' +
         std::to_string(upload.size) + (upload.deletionByGet ? "\tGET" : "");
}

std::optional<UploadRecord> parseHistoryLine(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos || fields.size() > 6) break;
    start = tab + 1;
  }
  if (fields.size() < 5 || fields.size() > 6 || (fields.size() == 6 && fields[5] != "GET"))
    return std::nullopt;
  auto [time, link, deletionUrl, fileType, size] =
      std::tie(fields[0], fields[1], fields[2], fields[3], fields[4]);
  bool valid =
      isUtcTime(time) && isKeptLink(link) && (deletionUrl.empty() || isKeptLink(deletionUrl)) &&
      !fileType.empty() && fileType.size() <= 8 &&
      std::all_of(fileType.begin(), fileType.end(),
                  [](char c) { return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }) &&
      !size.empty() && size.size() <= 15 && std::all_of(size.begin(), size.end(), isDigit);
  if (!valid) return std::nullopt;
  return UploadRecord{std::string(time),
                      std::string(link),
                      std::string(deletionUrl),
                      std::string(fileType),
                      std::stoull(std::string(size)),
                      fields.size() == 6 && !deletionUrl.empty()};
}

std::vector<UploadRecord> UploadHistory::uploads() {
  std::optional<platform::Bytes> bytes = files_.readAtMost(path_, historyReadLimit + 1);
  if (!bytes) return {};
  if (bytes->size() > historyReadLimit) {
    // Too long to be ours: what lies past the last whole line within the limit is left unread.
    auto lineEnd = std::find_if(std::make_reverse_iterator(bytes->begin() + historyReadLimit), bytes->rend(),
                                [](std::uint8_t b) { return b == '\n' || b == '\r'; });
    bytes->resize(static_cast<std::size_t>(bytes->rend() - lineEnd));
  }
  // Lines end at CR or LF; a zero byte or any other damage spoils only the line it is on.
  std::vector<UploadRecord> uploads;
  std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    if (std::optional<UploadRecord> upload = parseHistoryLine(text.substr(start, end - start)))
      uploads.push_back(std::move(*upload));
    start = end + 1;
  }
  if (uploads.size() > historyKept) uploads.erase(uploads.begin(), uploads.end() - historyKept);
  return uploads;
}

bool UploadHistory::add(UploadRecord upload) {
  upload.time = utcTime(now_());
  if (!parseHistoryLine(historyLine(upload))) return false;
  std::vector<UploadRecord> kept = uploads();
  kept.push_back(std::move(upload));
  if (kept.size() > historyKept) kept.erase(kept.begin(), kept.end() - historyKept);
  write(kept);
  return true;
}

bool UploadHistory::remove(const UploadRecord& upload) {
  std::vector<UploadRecord> kept = uploads();
  auto found = std::find_if(kept.rbegin(), kept.rend(), [&](const UploadRecord& entry) {
    return entry.link == upload.link && entry.deletionUrl == upload.deletionUrl;
  });
  if (found == kept.rend()) return false;
  kept.erase(std::next(found).base());
  write(kept);
  return true;
}

void UploadHistory::write(const std::vector<UploadRecord>& uploads) {
  std::string text;
  for (const UploadRecord& upload : uploads) text += historyLine(upload) + "\r\n";
  files_.replace(path_, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

} // namespace glimor::net
