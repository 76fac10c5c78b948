#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

namespace glimor::http {

// Where the answer comes from: a socket in use, canned bytes in tests and the fuzzer.
class ByteStream {
public:
  virtual ~ByteStream() = default;

  // Waits at most `wait` for data, then reads up to `into.size()` bytes. Returns the count,
  // 0 once the peer has closed, nothing when the wait expired. Failures throw Error.
  virtual std::optional<std::size_t> read(std::span<std::uint8_t> into, std::chrono::milliseconds wait) = 0;
};

} // namespace glimor::http
