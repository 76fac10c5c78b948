#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace glimor::server {

// Who pays for a decode: the client (a token, or an address group) first, then
// the wider groups it belongs to. Each of them owes the processor time its
// decodes recently cost.
using DecodeAccounts = std::vector<std::string>;

// A token is one client wherever it comes from; without one, the address group
// (see addressGroup) and its network: an IPv4 /24, an IPv6 /48.
DecodeAccounts decodeAccountsOf(const std::string& address, const std::optional<std::string>& tokenName);

// Runs the decoding of uploads on threads of its own, fairly by cost: each
// decode's processor time is charged to its accounts as a debt that halves
// every debtHalfLife, and a free thread takes the waiting job whose accounts
// owe least together (the earliest among equals). Jobs of accounts that owe
// more than smallDebt, or already have a decode running, take at most
// `sharedThreads`; the threads beyond are kept for clients that owe little, so
// an honest upload finds one while many addresses of one network send costly
// images. Jobs must not throw. Thread-safe.
class DecodeQueue {
public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::seconds debtHalfLife{10};
  // Half of what an image refused as too costly spends.
  static constexpr std::chrono::milliseconds smallDebt{1000};
  // Accounts remembered at most; those that owe nearly nothing go first.
  static constexpr std::size_t maxAccounts = 1 << 16;

  DecodeQueue(unsigned threads, unsigned sharedThreads);
  ~DecodeQueue();
  DecodeQueue(const DecodeQueue&) = delete;
  DecodeQueue& operator=(const DecodeQueue&) = delete;

  void post(DecodeAccounts accounts, std::function<void()> job);
  // Runs what was posted, then ends the threads; the destructor does it too.
  void join();

private:
  struct Job {
    std::uint64_t order;
    DecodeAccounts accounts;
    std::function<void()> job;
  };
  struct Account {
    double seconds = 0; // owed at `at`
    Clock::time_point at;
    unsigned running = 0;
  };
  using Line = std::deque<Job>; // one client's jobs, in order

  void work();
  // The line whose first job runs next, or none that may run now.
  Line* next(Clock::time_point now);
  double owed(const Account& account, Clock::time_point now) const;
  void start(const DecodeAccounts& accounts, Clock::time_point now);
  void finish(const DecodeAccounts& accounts, std::chrono::nanoseconds spent);
  void forgetIdleAccounts(Clock::time_point now);

  const unsigned threadCount_, sharedThreads_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::unordered_map<std::string, Line> lines_; // by the jobs' first account
  std::unordered_map<std::string, Account> accounts_;
  Clock::time_point lastForgetting_ = Clock::now();
  std::uint64_t posted_ = 0;
  std::size_t waiting_ = 0;
  unsigned running_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

} // namespace glimor::server
