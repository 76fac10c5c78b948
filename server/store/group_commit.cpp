#include "group_commit.h"

namespace glimor::server {

void GroupCommit::run(const Write& write) {
  Pending pending{&write, false, nullptr};
  std::unique_lock lock(mutex_);
  queue_.push_back(&pending);
  while (!pending.finished) {
    if (committing_) {
      finished_.wait(lock);
      continue;
    }
    committing_ = true;
    std::vector<Pending*> batch;
    batch.swap(queue_);
    lock.unlock();
    commit(batch);
    lock.lock();
    for (Pending* done : batch) done->finished = true;
    committing_ = false;
    finished_.notify_all();
  }
  if (pending.error) std::rethrow_exception(pending.error);
}

void GroupCommit::commit(const std::vector<Pending*>& batch) {
  std::vector<const Write*> writes;
  for (Pending* pending : batch) writes.push_back(pending->write);
  try {
    commitBatch_(writes);
    return;
  } catch (...) {
    if (batch.size() == 1) {
      batch.front()->error = std::current_exception();
      return;
    }
  }
  for (Pending* pending : batch) {
    try {
      commitBatch_({pending->write});
    } catch (...) {
      pending->error = std::current_exception();
    }
  }
}

} // namespace glimor::server
