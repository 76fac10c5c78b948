#include "decode_queue.h"

#include "address_group.h"
#include "thread_time.h"
#include "upload_gate.h"

#include <algorithm>
#include <cmath>

namespace glimor::server {
namespace {

using Seconds = std::chrono::duration<double>;

} // namespace

DecodeAccounts decodeAccountsOf(const std::string& address, const std::optional<std::string>& tokenName) {
  if (tokenName) return {"token " + *tokenName};
  DecodeAccounts accounts{addressGroup(address)};
  if (auto network = networkOf(address)) accounts.push_back(std::move(*network));
  return accounts;
}

DecodeQueue::DecodeQueue(unsigned threads, unsigned sharedThreads)
    : threadCount_(std::max(threads, 1u)), sharedThreads_(std::clamp(sharedThreads, 1u, threadCount_)) {
  for (unsigned i = 0; i < threadCount_; ++i) threads_.emplace_back([this] { work(); });
}

DecodeQueue::~DecodeQueue() {
  join();
}

void DecodeQueue::join() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (auto& thread : threads_)
    if (thread.joinable()) thread.join();
}

void DecodeQueue::post(DecodeAccounts accounts, std::function<void()> job) {
  if (accounts.empty()) accounts.emplace_back();
  {
    std::lock_guard lock(mutex_);
    std::string client = accounts.front();
    lines_[client].push_back({posted_++, std::move(accounts), std::move(job)});
    ++waiting_;
  }
  wake_.notify_one();
}

double DecodeQueue::owed(const Account& account, Clock::time_point now) const {
  return account.seconds * std::exp2(-Seconds(now - account.at) / Seconds(debtHalfLife));
}

DecodeQueue::Line* DecodeQueue::next(Clock::time_point now) {
  if (running_ >= threadCount_) return nullptr;
  const bool sharedRoom = running_ < sharedThreads_;
  Line* best = nullptr;
  double bestOwed = 0;
  for (auto& [client, line] : lines_) {
    const Job& job = line.front();
    double total = 0;
    bool busy = false;
    for (const std::string& name : job.accounts) {
      auto found = accounts_.find(name);
      if (found == accounts_.end()) continue;
      total += owed(found->second, now);
      busy = busy || found->second.running > 0;
    }
    busy = busy || total > Seconds(smallDebt).count();
    if (busy && !sharedRoom) continue;
    if (!best || total < bestOwed || (total == bestOwed && job.order < best->front().order)) {
      best = &line;
      bestOwed = total;
    }
  }
  return best;
}

void DecodeQueue::start(const DecodeAccounts& accounts, Clock::time_point now) {
  if (accounts_.size() + accounts.size() > maxAccounts || now - lastForgetting_ > std::chrono::minutes(1))
    forgetIdleAccounts(now);
  for (const std::string& name : accounts) {
    auto [account, added] = accounts_.try_emplace(name);
    if (added) account->second.at = now;
    ++account->second.running;
  }
}

void DecodeQueue::finish(const DecodeAccounts& accounts, std::chrono::nanoseconds spent) {
  const auto now = Clock::now();
  for (const std::string& name : accounts) {
    Account& account = accounts_.at(name); // kept while it has a decode running
    account.seconds = owed(account, now) + Seconds(spent).count();
    account.at = now;
    --account.running;
  }
}

// Accounts that owe under a millisecond are as good as new; beyond half the
// table, those that owe least go too. Accounts with a decode running stay.
void DecodeQueue::forgetIdleAccounts(Clock::time_point now) {
  lastForgetting_ = now;
  std::erase_if(accounts_, [&](const auto& entry) {
    return entry.second.running == 0 && owed(entry.second, now) < 1e-3;
  });
  if (accounts_.size() <= maxAccounts / 2) return;
  std::vector<std::pair<double, std::string>> idle;
  for (const auto& [name, account] : accounts_)
    if (account.running == 0) idle.emplace_back(owed(account, now), name);
  const std::size_t excess = std::min(idle.size(), accounts_.size() - maxAccounts / 2);
  std::nth_element(idle.begin(), idle.begin() + excess, idle.end());
  for (std::size_t i = 0; i < excess; ++i) accounts_.erase(idle[i].second);
}

void DecodeQueue::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    Line* line = nullptr;
    wake_.wait(lock, [&] {
      line = next(Clock::now());
      return line || (stopping_ && waiting_ == 0);
    });
    if (!line) return;
    Job job = std::move(line->front());
    line->pop_front();
    if (line->empty()) lines_.erase(job.accounts.front());
    --waiting_;
    ++running_;
    start(job.accounts, Clock::now());
    if (stopping_ && waiting_ == 0) wake_.notify_all();
    lock.unlock();
    const auto before = threadProcessorTime();
    job.job();
    job.job = nullptr; // what the job held is given back before the next one
    const auto spent = threadProcessorTime() - before;
    lock.lock();
    --running_;
    finish(job.accounts, spent);
    // A thread is free, and an account may owe less: another waiting job may run too.
    wake_.notify_one();
  }
}

} // namespace glimor::server
