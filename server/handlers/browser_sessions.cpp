#include "browser_sessions.h"

#include "token_store.h"

#include <sodium.h>

namespace glimor::server {
namespace {

std::int64_t secondsOf(BrowserSessions::Clock::time_point time) {
  return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

} // namespace

std::string BrowserSessions::open(const std::string& tokenHash, const std::string& tokenName,
                                  Clock::time_point now) {
  // Ids and form values are as random as an upload token.
  std::string id = newUploadToken();
  store_.openSession(glimor::server::tokenHash(id), {tokenHash, tokenName, newUploadToken(), secondsOf(now)},
                     secondsOf(now - lifetime) + 1, maxPerToken, maxSessions);
  return id;
}

std::optional<BrowserSession> BrowserSessions::find(std::string_view id, Clock::time_point now) {
  if (id.empty()) return std::nullopt;
  const std::string idHash = tokenHash(id);
  auto found = store_.findSession(idHash);
  if (!found) return std::nullopt;
  if (secondsOf(now) - found->openedAt >= std::chrono::seconds(lifetime).count()) {
    store_.closeSession(idHash);
    return std::nullopt;
  }
  return BrowserSession{found->tokenHash, found->tokenName, found->csrf};
}

void BrowserSessions::close(std::string_view id) {
  store_.closeSession(tokenHash(id));
}

bool sameSecret(std::string_view given, std::string_view expected) {
  return given.size() == expected.size() && sodium_memcmp(given.data(), expected.data(), given.size()) == 0;
}

} // namespace glimor::server
