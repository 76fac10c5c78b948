#pragma once
#include "http_types.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace glimor::server {

// Hands out a response body that comes in pieces, one bounded part at a time,
// from its source (a file, database slices); the whole body must be gone by
// `deadline()`, which allows a minimum rate after a grace. Holding only the
// part being sent keeps a slow reader's memory small.
class BodyStreamer {
public:
  static constexpr std::size_t partSize = 256 * 1024;

  BodyStreamer(std::shared_ptr<BodyReader> source, ByteRange range,
               std::chrono::steady_clock::time_point start, std::chrono::seconds grace,
               std::uint64_t minRate);

  bool done() const { return next_ >= end_; }
  std::uint64_t sent() const { return next_ - first_; }
  std::chrono::steady_clock::time_point deadline() const { return deadline_; }

  // The next part, read from the source (which may wait for the disk or
  // another machine); throws when it cannot be read or comes back short.
  std::string readPart();

  // For a body sent straight from its file by the kernel: the file (-1 when
  // there is none), the next offset and the bytes still to send.
  int descriptor() const { return source_->descriptor(); }
  bool readsFromMemory() const { return source_->inMemory(); }
  std::uint64_t next() const { return next_; }
  std::uint64_t left() const { return end_ - next_; }
  void advance(std::uint64_t bytes) { next_ += bytes; }

private:
  std::shared_ptr<BodyReader> source_;
  std::uint64_t first_;
  std::uint64_t next_;
  std::uint64_t end_;
  std::chrono::steady_clock::time_point deadline_;
};

} // namespace glimor::server
