#pragma once
#include "http/tls_engine.h"
#include "platform/error.h"

#include <optional>
#include <string>
#include <string_view>

namespace glimor::fakes {

// A TLS engine without cryptography. A record is a kind letter, two length bytes (big-endian) and
// its bytes: 'H' handshake, 'D' data, 'Z' close_notify, 'E' a fault whose text the engine throws.
// The handshake sends 'H' "hello", takes `serverFlights` 'H' records and answers the last one with
// 'H' "finished".
class FakeTlsEngine final : public http::TlsEngine {
public:
  explicit FakeTlsEngine(int serverFlights, std::size_t maxPlain = 16384)
      : flightsLeft_(serverFlights), maxPlain_(maxPlain) {}

  static std::string record(char kind, std::string_view bytes) {
    return std::string{kind, static_cast<char>(bytes.size() >> 8), static_cast<char>(bytes.size() & 0xff)} +
           std::string(bytes);
  }

  Handshake handshake(std::span<std::uint8_t> input, std::size_t& used, Bytes& output) override {
    used = 0;
    if (!helloSent_) {
      helloSent_ = true;
      append(output, record('H', "hello"));
      return Handshake::NeedInput;
    }
    std::optional<std::pair<char, std::string>> taken = take(input, used);
    if (!taken) return Handshake::NeedInput;
    if (taken->first == 'E') throw Error(taken->second);
    if (--flightsLeft_ > 0) return used < input.size() ? Handshake::Again : Handshake::NeedInput;
    append(output, record('H', "finished"));
    return Handshake::Done;
  }

  std::size_t maxRecordPlain() const override { return maxPlain_; }

  void seal(std::span<const std::uint8_t> plain, Bytes& output) override {
    append(output, record('D', std::string(plain.begin(), plain.end())));
  }

  Opened open(std::span<std::uint8_t> input, std::size_t& used, Bytes& plain, Bytes&) override {
    used = 0;
    std::optional<std::pair<char, std::string>> taken = take(input, used);
    if (!taken) return Opened::NeedInput;
    if (taken->first == 'E') throw Error(taken->second);
    if (taken->first == 'Z') return Opened::Closed;
    append(plain, taken->second);
    return Opened::Plain;
  }

private:
  static void append(Bytes& to, std::string_view bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

  // The first whole record of `input`.
  static std::optional<std::pair<char, std::string>> take(std::span<std::uint8_t> input, std::size_t& used) {
    if (input.size() < 3) return std::nullopt;
    const std::size_t size = std::size_t{input[1]} << 8 | input[2];
    if (input.size() < 3 + size) return std::nullopt;
    used = 3 + size;
    return std::pair{static_cast<char>(input[0]), std::string(input.begin() + 3, input.begin() + 3 + size)};
  }

  int flightsLeft_;
  std::size_t maxPlain_;
  bool helloSent_ = false;
};

} // namespace glimor::fakes
