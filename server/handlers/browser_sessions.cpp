#include "browser_sessions.h"

#include "token_store.h"

#include <sodium.h>

namespace glimor::server {

std::string BrowserSessions::open(const std::string& tokenHash, const std::string& tokenName,
                                  Clock::time_point now) {
  // Ids and form values are as random as an upload token.
  std::string id = newUploadToken();
  std::lock_guard lock(mutex_);
  std::size_t ofToken = 0;
  for (const auto& [key, entry] : sessions_) ofToken += entry.session.tokenHash == tokenHash;
  if (ofToken >= maxPerToken) dropOldest(&tokenHash);
  if (sessions_.size() >= maxSessions) dropOldest(nullptr);
  sessions_[glimor::server::tokenHash(id)] = {{tokenHash, tokenName, newUploadToken()}, now};
  return id;
}

void BrowserSessions::dropOldest(const std::string* tokenHash) {
  auto oldest = sessions_.end();
  for (auto at = sessions_.begin(); at != sessions_.end(); ++at)
    if ((!tokenHash || at->second.session.tokenHash == *tokenHash) &&
        (oldest == sessions_.end() || at->second.opened < oldest->second.opened))
      oldest = at;
  if (oldest != sessions_.end()) sessions_.erase(oldest);
}

std::optional<BrowserSession> BrowserSessions::find(std::string_view id, Clock::time_point now) {
  if (id.empty()) return std::nullopt;
  std::lock_guard lock(mutex_);
  auto found = sessions_.find(tokenHash(id));
  if (found == sessions_.end()) return std::nullopt;
  if (now - found->second.opened >= lifetime) {
    sessions_.erase(found);
    return std::nullopt;
  }
  return found->second.session;
}

void BrowserSessions::close(std::string_view id) {
  std::lock_guard lock(mutex_);
  sessions_.erase(tokenHash(id));
}

bool sameSecret(std::string_view given, std::string_view expected) {
  return given.size() == expected.size() && sodium_memcmp(given.data(), expected.data(), given.size()) == 0;
}

} // namespace glimor::server
