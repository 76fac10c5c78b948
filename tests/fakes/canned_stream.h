#pragma once
#include "http/byte_stream.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace glimor::fakes {

// Answer bytes served in the given pieces; an empty optional is a pause longer than any wait.
// After the last piece the stream is closed. Records the wait of every read.
class CannedStream final : public http::ByteStream {
public:
  explicit CannedStream(std::vector<std::optional<std::string>> pieces)
      : pieces_(pieces.begin(), pieces.end()) {}
  explicit CannedStream(std::string whole) { pieces_.emplace_back(std::move(whole)); }

  std::optional<std::size_t> read(std::span<std::uint8_t> into, std::chrono::milliseconds wait) override {
    waits.push_back(wait);
    while (!pieces_.empty() && pieces_.front() && pieces_.front()->empty()) pieces_.pop_front();
    if (pieces_.empty()) return 0;
    if (!pieces_.front()) {
      pieces_.pop_front();
      return std::nullopt;
    }
    std::string& piece = *pieces_.front();
    std::size_t n = std::min(into.size(), piece.size());
    std::memcpy(into.data(), piece.data(), n);
    piece.erase(0, n);
    return n;
  }

  std::vector<std::chrono::milliseconds> waits;

private:
  std::deque<std::optional<std::string>> pieces_;
};

} // namespace glimor::fakes
