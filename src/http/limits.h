#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace glimor::http {

using namespace std::chrono_literals;

// Bounds on what a slow or hostile server can make a client wait for or hold in memory.
struct Limits {
  std::chrono::milliseconds connect = 30s;     // from resolving to an open connection
  std::chrono::milliseconds readIdle = 60s;    // longest pause in an answer that is kept
  std::chrono::milliseconds discardIdle = 2s;  // longest pause in an answer body that is thrown away
  std::chrono::milliseconds sendIdle = 60s;    // longest stall while the server takes the request
  std::size_t maxLine = 16384;                 // a status or header line, without its line end
  std::size_t maxHeaderLines = 500;            // over all header blocks of one answer
  std::size_t maxHeaderBytes = 256 * 1024;     // the same, in bytes
  std::uint64_t maxBody = 64ull * 1024 * 1024; // answer bodies are held in memory whole
  // A whole exchange, from the name lookup to the last byte of the answer, however the server
  // paces it: `total` for a body of up to `totalCovers` bytes, and for a larger one as much more
  // as sending the rest at `slowestRate` bytes a second takes.
  std::chrono::milliseconds total = 90s;
  std::uint64_t totalCovers = 1024 * 1024;
  std::uint64_t slowestRate = 64 * 1024;

  std::chrono::milliseconds totalFor(std::uint64_t bodySize) const {
    if (bodySize <= totalCovers) return total;
    return total + std::chrono::milliseconds((bodySize - totalCovers) * 1000 / slowestRate);
  }
};

} // namespace glimor::http
