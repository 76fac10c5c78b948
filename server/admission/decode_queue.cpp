#include "decode_queue.h"

namespace glimor::server {

DecodeQueue::DecodeQueue(unsigned threads, unsigned perClient) : perClient_(perClient) {
  for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
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

void DecodeQueue::post(const std::string& client, std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    Line& line = lines_[client];
    line.jobs.push_back(std::move(job));
    // A client already in turn, or at its limit, is taken up when a job of its ends.
    if (line.jobs.size() == 1 && line.running < perClient_) turns_.push_back(client);
  }
  wake_.notify_one();
}

void DecodeQueue::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return !turns_.empty() || (stopping_ && lines_.empty()); });
    if (turns_.empty()) return;
    std::string client = std::move(turns_.front());
    turns_.pop_front();
    Line& line = lines_[client];
    std::function<void()> job = std::move(line.jobs.front());
    line.jobs.pop_front();
    ++line.running;
    if (!line.jobs.empty() && line.running < perClient_) turns_.push_back(client);
    lock.unlock();
    job();
    job = nullptr; // what the job held is given back before the next one
    lock.lock();
    Line& after = lines_[client];
    --after.running;
    if (!after.jobs.empty() && after.running + 1 == perClient_) {
      turns_.push_back(client);
      wake_.notify_one();
    }
    if (after.jobs.empty() && after.running == 0) {
      lines_.erase(client);
      if (stopping_ && lines_.empty()) wake_.notify_all();
    }
  }
}

} // namespace glimor::server
