#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace glimor::server {

// Runs the decoding of uploads on threads of its own, fairly across clients:
// one client (a key such as an address group) runs at most `perClient` jobs at
// once, its other jobs wait in its own line, and free threads take the clients
// in turn. With one thread more than `perClient`, a client sending costly
// images holds at most `perClient` threads and everyone else's uploads still
// find one. Jobs must not throw. Thread-safe.
class DecodeQueue {
public:
  DecodeQueue(unsigned threads, unsigned perClient);
  ~DecodeQueue();
  DecodeQueue(const DecodeQueue&) = delete;
  DecodeQueue& operator=(const DecodeQueue&) = delete;

  void post(const std::string& client, std::function<void()> job);
  // Runs what was posted, then ends the threads; the destructor does it too.
  void join();

private:
  struct Line {
    std::deque<std::function<void()>> jobs;
    unsigned running = 0;
  };

  void work();

  const unsigned perClient_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::unordered_map<std::string, Line> lines_;
  // Clients with a job waiting and room to run it, in turn.
  std::deque<std::string> turns_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

} // namespace glimor::server
