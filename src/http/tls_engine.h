#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace glimor::http {

// The cryptographic half of a TLS client (Schannel or OpenSSL) that works on buffers only and
// never touches the network; `TlsConnection` moves its bytes. Each call takes records the service
// sent from the front of `input` (telling through `used` how many it took; it may decrypt them in
// place) and appends what must go to the service to `output`. Refusals throw Error with their text.
class TlsEngine {
public:
  using Bytes = std::vector<std::uint8_t>;

  enum class Handshake {
    Done,      // the connection is secured and the service's certificate accepted
    NeedInput, // more of the service's records are needed first
    Again,     // call again with what is left of the input
  };
  enum class Opened {
    Plain,     // plain text was appended
    NeedInput, // no whole record yet
    Closed,    // the service ended TLS (close_notify)
  };

  virtual ~TlsEngine() = default;

  virtual Handshake handshake(std::span<std::uint8_t> input, std::size_t& used, Bytes& output) = 0;

  // The most plain text one record may carry.
  virtual std::size_t maxRecordPlain() const = 0;

  // Appends the record(s) carrying `plain` (at most maxRecordPlain() bytes) to `output`.
  virtual void seal(std::span<const std::uint8_t> plain, Bytes& output) = 0;

  // Opens the records of `input` into `plain`; `output` takes what the library answers on its own.
  virtual Opened open(std::span<std::uint8_t> input, std::size_t& used, Bytes& plain, Bytes& output) = 0;
};

} // namespace glimor::http
