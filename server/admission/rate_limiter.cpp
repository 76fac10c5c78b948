#include "rate_limiter.h"

#include <algorithm>
#include <cmath>

namespace glimor::server {
namespace {

using Seconds = std::chrono::duration<double>;
constexpr Seconds minute{60};
constexpr Seconds day{86400};

} // namespace

RateLimiter::RateLimiter(unsigned perMinute, std::uint64_t bytesPerDay, std::size_t maxKeys)
    : perMinute_(perMinute), bytesPerDay_(bytesPerDay), maxKeys_(std::max<std::size_t>(maxKeys, 1)) {}

RateLimiter::Debts& RateLimiter::debtsOf(const std::string& key, Clock::time_point now) {
  if (auto found = byKey_.find(key); found != byKey_.end()) {
    entries_.splice(entries_.begin(), entries_, found->second);
    return entries_.front();
  }
  auto drained = [now](const Debts& debts) {
    return debts.requestsDrained <= now && debts.bytesDrained <= now;
  };
  while (!entries_.empty() && (entries_.size() >= maxKeys_ || drained(entries_.back()))) {
    byKey_.erase(entries_.back().key);
    entries_.pop_back();
  }
  entries_.push_front({key, now, now});
  byKey_.emplace(key, entries_.begin());
  return entries_.front();
}

RateLimiter::Outcome RateLimiter::outcome(Clock::time_point requestsDrained, Clock::time_point bytesDrained,
                                          std::uint64_t bytes, Clock::time_point now) const {
  Seconds requestDebt{0}, byteDebt{0}, wait{0};
  if (perMinute_ > 0) {
    requestDebt = std::max(Seconds(requestsDrained - now), Seconds(0)) + minute / perMinute_;
    wait = std::max(wait, requestDebt - minute);
  }
  if (bytesPerDay_ > 0) {
    byteDebt = std::max(Seconds(bytesDrained - now), Seconds(0)) +
               day * (static_cast<double>(bytes) / static_cast<double>(bytesPerDay_));
    wait = std::max(wait, byteDebt - day);
  }
  Outcome result{now + std::chrono::duration_cast<Clock::duration>(requestDebt),
                 now + std::chrono::duration_cast<Clock::duration>(byteDebt), std::nullopt};
  if (wait > Seconds(0))
    result.wait =
        std::chrono::seconds(static_cast<long long>(std::clamp(std::ceil(wait.count()), 1.0, day.count())));
  return result;
}

std::optional<std::chrono::seconds> RateLimiter::charge(const std::string& key, std::uint64_t bytes,
                                                        Clock::time_point now) {
  if (perMinute_ == 0 && bytesPerDay_ == 0) return std::nullopt;
  std::lock_guard lock(mutex_);
  Debts& debts = debtsOf(key, now);
  Outcome result = outcome(debts.requestsDrained, debts.bytesDrained, bytes, now);
  if (result.wait) return result.wait;
  debts.requestsDrained = result.requestsDrained;
  debts.bytesDrained = result.bytesDrained;
  return std::nullopt;
}

std::optional<std::chrono::seconds> RateLimiter::wait(const std::string& key, std::uint64_t bytes,
                                                      Clock::time_point now) const {
  if (perMinute_ == 0 && bytesPerDay_ == 0) return std::nullopt;
  std::lock_guard lock(mutex_);
  auto found = byKey_.find(key);
  if (found == byKey_.end()) return outcome(now, now, bytes, now).wait;
  return outcome(found->second->requestsDrained, found->second->bytesDrained, bytes, now).wait;
}

std::size_t RateLimiter::keys() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

} // namespace glimor::server
