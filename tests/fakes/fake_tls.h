#pragma once
#include "platform/error.h"
#include "platform/tls.h"

namespace glimor::fakes {

// TLS that leaves the bytes as they are: records what it was asked to secure, and refuses with
// `refusal` when one is set.
class FakeTls final : public platform::Tls {
public:
  std::unique_ptr<platform::Connection> secure(std::unique_ptr<platform::Connection> tcp,
                                               const std::string& host, const std::string& trustAnchorFile,
                                               std::chrono::milliseconds timeLimit) override {
    hosts.push_back(host);
    this->trustAnchorFile = trustAnchorFile;
    this->timeLimit = timeLimit;
    if (!refusal.empty()) throw Error(refusal);
    return tcp;
  }

  std::string refusal;
  std::vector<std::string> hosts; // one per connection secured
  std::string trustAnchorFile;
  std::chrono::milliseconds timeLimit{};
};

} // namespace glimor::fakes
