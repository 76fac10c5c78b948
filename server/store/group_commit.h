#pragma once
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>

namespace glimor::server {

// Lets concurrent writers share one transaction, and so one flush of the
// database to the disk: the first writer to arrive commits everything queued
// meanwhile, the others wait for that commit. run() returns once the caller's
// write is committed, or throws its error; a failed batch is retried one write
// at a time, so one bad write fails only its own caller.
class GroupCommit {
public:
  using Write = std::function<void()>;
  // Runs the writes inside one transaction and commits it; throws on failure.
  using CommitBatch = std::function<void(const std::vector<const Write*>&)>;

  explicit GroupCommit(CommitBatch commitBatch) : commitBatch_(std::move(commitBatch)) {}

  void run(const Write& write);

private:
  struct Pending {
    const Write* write;
    bool finished = false;
    std::exception_ptr error;
  };
  void commit(const std::vector<Pending*>& batch);

  CommitBatch commitBatch_;
  std::mutex mutex_;
  std::condition_variable finished_;
  std::vector<Pending*> queue_;
  bool committing_ = false;
};

} // namespace glimor::server
