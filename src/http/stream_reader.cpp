#include "http/stream_reader.h"

#include "platform/error.h"

#include <algorithm>

namespace glimor::http {

bool StreamReader::fill() {
  if (closed_) return false;
  begin_ = end_ = 0;
  std::optional<std::size_t> got = stream_.read(buffer_, wait_);
  if (!got) throw Error("Read Timeout");
  if (*got == 0) {
    closed_ = true;
    return false;
  }
  end_ = *got;
  return true;
}

std::optional<std::string> StreamReader::readLine(std::size_t maxLength) {
  std::string line;
  bool any = false;
  while (begin_ < end_ || fill()) {
    any = true;
    auto start = buffer_.begin() + static_cast<std::ptrdiff_t>(begin_);
    auto stop = buffer_.begin() + static_cast<std::ptrdiff_t>(end_);
    auto lf = std::find(start, stop, std::uint8_t{'\n'});
    line.append(start, lf);
    begin_ = static_cast<std::size_t>(lf - buffer_.begin());
    // The CR of a CR LF pair may still sit in `line`, so one more byte is allowed until the LF shows.
    if (lf == stop && line.size() > maxLength + 1) throw Error("Max line length exceeded.");
    if (lf != stop) {
      ++begin_;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.size() > maxLength) throw Error("Max line length exceeded.");
      return line;
    }
  }
  if (!any) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() > maxLength) throw Error("Max line length exceeded.");
  return line;
}

} // namespace glimor::http
