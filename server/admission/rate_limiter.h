#pragma once
#include <chrono>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace glimor::server {

// Requests per minute and bytes per day for each key (a token or a client
// address), as a debt of time: a request adds a minute / `perMinute`, a byte a
// day / `bytesPerDay`, and the debt drains as time passes. A request that
// would take either debt beyond its period is refused without being counted,
// so `perMinute` requests may come at once and then one every minute /
// `perMinute`. A limit of 0 is off.
//
// Memory stays bounded when an attacker cycles through addresses: keys whose
// debts have drained are dropped (nothing is lost with them), and at
// `maxKeys` the key used least recently is dropped with its debt. Thread-safe.
class RateLimiter {
public:
  using Clock = std::chrono::steady_clock;

  RateLimiter(unsigned perMinute, std::uint64_t bytesPerDay, std::size_t maxKeys = 65536);

  // Counts one request of `bytes`, or returns how long to wait before it
  // would be accepted: whole seconds, at least 1, at most a day.
  std::optional<std::chrono::seconds> charge(const std::string& key, std::uint64_t bytes,
                                             Clock::time_point now);

  // What charge() would answer now, counting nothing: a request's head is
  // refused by it before its body, which is charged once it has come.
  std::optional<std::chrono::seconds> wait(const std::string& key, std::uint64_t bytes,
                                           Clock::time_point now) const;

  std::size_t keys() const;

private:
  struct Debts {
    std::string key;
    Clock::time_point requestsDrained;
    Clock::time_point bytesDrained;
  };
  using Entries = std::list<Debts>; // used most recently first
  // Debts after one more request of `bytes`, and the wait when they go beyond their periods.
  struct Outcome {
    Clock::time_point requestsDrained;
    Clock::time_point bytesDrained;
    std::optional<std::chrono::seconds> wait;
  };

  Outcome outcome(Clock::time_point requestsDrained, Clock::time_point bytesDrained, std::uint64_t bytes,
                  Clock::time_point now) const;

  Debts& debtsOf(const std::string& key, Clock::time_point now);

  const unsigned perMinute_;
  const std::uint64_t bytesPerDay_;
  const std::size_t maxKeys_;
  mutable std::mutex mutex_;
  Entries entries_;
  std::unordered_map<std::string, Entries::iterator> byKey_;
};

} // namespace glimor::server
