#pragma once
#include "http/byte_stream.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace glimor::http {

using Bytes = std::vector<std::uint8_t>;

// Lines and counted bytes from a ByteStream, read in pieces of 32768 bytes. A pause longer
// than the current wait fails with "Read Timeout".
class StreamReader {
public:
  StreamReader(ByteStream& stream, std::chrono::milliseconds wait) : stream_(stream), wait_(wait) {}

  void setWait(std::chrono::milliseconds wait) { wait_ = wait; }
  bool closed() const { return closed_ && begin_ == end_; }

  // The next line without its LF (and the CR before it). A last line cut short by the close
  // counts as a line; nothing once the stream is closed and drained. A line longer than
  // `maxLength` fails with "Max line length exceeded.".
  std::optional<std::string> readLine(std::size_t maxLength);

  // Passes up to `count` bytes to `take`, fewer when the stream closes first; returns the number passed.
  template <typename Take> std::uint64_t read(std::uint64_t count, Take&& take) {
    std::uint64_t done = 0;
    while (done < count && (begin_ < end_ || fill())) {
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(end_ - begin_, count - done));
      take(buffer_.data() + begin_, n);
      begin_ += n;
      done += n;
    }
    return done;
  }

private:
  bool fill(); // false once the stream is closed

  ByteStream& stream_;
  std::chrono::milliseconds wait_;
  std::array<std::uint8_t, 32768> buffer_{};
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool closed_ = false;
};

} // namespace glimor::http
