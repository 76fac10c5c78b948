#include "platform/error.h"
#include "proxy_header.h"
#include "refusal.h"
#include "sqlite_token_store.h"
#include "temp_folder.h"
#include "upload_gate.h"

#include <gtest/gtest.h>
#include <thread>

namespace glimor::server {
namespace {

using namespace std::chrono_literals;
using Clock = RateLimiter::Clock;

// The refusal a request gets, as "STATUS reason|header: value|...", or "" when admitted.
template <typename Admit> std::string refusalOf(Admit admit) {
  try {
    admit();
  } catch (const Refusal& refusal) {
    std::string text = std::to_string(refusal.status()) + " " + refusal.what();
    for (const auto& [name, value] : refusal.headers()) text += "|" + name + ": " + value;
    return text;
  }
  return "";
}

std::string bytes(std::initializer_list<int> values) {
  std::string result;
  for (int value : values) result += static_cast<char>(value);
  return result;
}

// A request as the gate sees it, owning its texts for the length of one call.
struct Asking {
  std::string address;
  std::string authorization;
  std::uint64_t bytes = 100;
  operator GateRequest() const { return {authorization, address, bytes}; }
};

Asking from(std::string address, std::string authorization = "", std::uint64_t bytes = 100) {
  return {std::move(address), std::move(authorization), bytes};
}

TEST(UploadGate, TokensAreRequiredCheckedAndRevoked) {
  testing::TempFolder data;
  SqliteTokenStore store(data.path());
  std::string token = newUploadToken();
  EXPECT_EQ(token.size(), 43u);
  EXPECT_EQ(token.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
            std::string::npos);
  EXPECT_NE(token, newUploadToken());
  store.add("ann", tokenHash(token));
  EXPECT_THROW(store.add("ann", tokenHash(newUploadToken())), Error);

  Config config;
  config.uploads = UploadAccess::token;
  UploadGate gate(config, store, std::nullopt);
  auto now = Clock::now();
  EXPECT_EQ(refusalOf([&] { gate.admitUpload(from("10.0.0.1"), now); }),
            "401 Upload token required|WWW-Authenticate: Bearer");
  EXPECT_EQ(refusalOf([&] { gate.admitFeedback(from("10.0.0.1"), now); }),
            "401 Feedback needs an upload token|WWW-Authenticate: Bearer");
  EXPECT_EQ(refusalOf([&] { gate.admitFeedback(from("10.0.0.1", "Bearer nonsense"), now); }),
            "401 Upload token not valid|WWW-Authenticate: Bearer");
  EXPECT_EQ(refusalOf([&] { gate.admitUpload(from("10.0.0.1", "Basic " + token), now); }),
            "401 Upload token not valid|WWW-Authenticate: Bearer");
  EXPECT_EQ(gate.admitUpload(from("10.0.0.1", "bearer  " + token), now).tokenName, "ann");

  // Another connection to the same file revokes it, as `glimor-server token revoke` does.
  EXPECT_TRUE(SqliteTokenStore(data.path()).revoke("ann"));
  EXPECT_EQ(gate.admitUpload(from("10.0.0.1", "Bearer " + token), now).tokenName, "ann"); // until read again
  gate.refreshTokens();
  EXPECT_EQ(refusalOf([&] { gate.admitUpload(from("10.0.0.1", "Bearer " + token), now); }),
            "401 Upload token not valid|WWW-Authenticate: Bearer");
  EXPECT_TRUE(store.list().empty());

  // Open: anonymous uploads pass, a wrong token does not.
  config.uploads = UploadAccess::open;
  UploadGate open(config, store);
  EXPECT_EQ(open.admitUpload(from("10.0.0.1"), now).tokenName, std::nullopt);
  EXPECT_NE(refusalOf([&] { open.admitUpload(from("10.0.0.1", "Bearer " + token), now); }), "");
}

TEST(UploadGate, LimitsCountPerAddressGroupAndSayWhenToRetry) {
  Config config;
  config.uploadsPerMinute = 3;
  config.uploadBytesPerDay = 86400; // a byte a second
  testing::TempFolder data;
  SqliteTokenStore store(data.path());
  UploadGate gate(config, store);
  // A head admitted, then its body come and counted.
  auto upload = [&](const Asking& asking, Clock::time_point when) {
    gate.countUpload(gate.admitUpload(asking, when), asking.address, asking.bytes, when);
  };
  auto feedback = [&](const Asking& asking, Clock::time_point when) {
    gate.admitFeedback(asking, when);
    gate.countFeedback(asking.address, when);
  };
  auto now = Clock::now();
  for (int i = 0; i < 3; ++i) upload(from("2001:db8:1:2::1"), now);
  // Same /64, other host bits: the same client.
  EXPECT_EQ(refusalOf([&] { gate.admitUpload(from("2001:db8:1:2:ffff::9"), now + 1s); }),
            "429 Too many uploads, try again in 19 s|Retry-After: 19");
  upload(from("2001:db8:1:3::1"), now);
  upload(from("2001:db8:1:2::1"), now + 20s);

  // The quota: a day's bytes at once, then the wait for the next upload's share.
  upload(from("192.0.2.1", "", 86400 - 1), now);
  EXPECT_EQ(refusalOf([&] { gate.admitUpload(from("192.0.2.1", "", 3), now); }),
            "429 Too many uploads, try again in 2 s|Retry-After: 2");

  // Feedback: a count per address only.
  for (int i = 0; i < 5; ++i) feedback(from("192.0.2.1"), now);
  EXPECT_EQ(refusalOf([&] { gate.admitFeedback(from("192.0.2.1"), now); }),
            "429 Too many feedback messages, try again in 12 s|Retry-After: 12");

  EXPECT_EQ(addressGroup("::ffff:192.0.2.7"), "192.0.2.7");
  EXPECT_EQ(addressGroup("2001:db8::1"), "2001:db8::/64");
}

TEST(RateLimiter, ForgetsDrainedKeysAndStaysWithinItsBound) {
  RateLimiter limiter(2, 0, 100);
  auto now = Clock::now();
  for (int i = 0; i < 1000; ++i) EXPECT_FALSE(limiter.charge("address " + std::to_string(i), 0, now));
  EXPECT_EQ(limiter.keys(), 100u);
  // A minute later every debt has drained: old keys make room without waiting for the bound.
  EXPECT_FALSE(limiter.charge("late", 0, now + 61s));
  EXPECT_EQ(limiter.keys(), 1u);
  EXPECT_FALSE(limiter.charge("late", 0, now + 61s));
  EXPECT_EQ(limiter.charge("late", 0, now + 61s), 30s);
  EXPECT_FALSE(RateLimiter(0, 0).charge("any", 1ull << 40, now));

  // At the bound the key used least recently is dropped with its debt: coming
  // back, it starts afresh, while the keys kept still owe theirs.
  RateLimiter small(1, 0, 3);
  for (std::string key : {"a", "b", "c"}) EXPECT_FALSE(small.charge(key, 0, now));
  EXPECT_TRUE(small.charge("a", 0, now));  // refreshes "a": "b" is now the oldest
  EXPECT_FALSE(small.charge("d", 0, now)); // drops "b"
  EXPECT_EQ(small.keys(), 3u);
  EXPECT_FALSE(small.charge("b", 0, now)); // forgotten, so free again; drops "c"
  EXPECT_TRUE(small.charge("a", 0, now));
  EXPECT_TRUE(small.charge("d", 0, now));
  EXPECT_FALSE(small.charge("c", 0, now));
}

TEST(ProxyHeader, ReadsBothVersionsAndRefusesTheRest) {
  using State = ProxyHeader::State;
  std::string v1 = "PROXY TCP4 192.0.2.9 127.0.0.1 51234 8080\r\nGET /";
  auto text = parseProxyHeader(v1);
  EXPECT_EQ(text.state, State::complete);
  EXPECT_EQ(text.length, v1.size() - 5);
  EXPECT_EQ(text.clientAddress, "192.0.2.9");
  EXPECT_EQ(parseProxyHeader("PROXY TCP6 2001:db8::5 ::1 1 2\r\n").clientAddress, "2001:db8::5");
  EXPECT_EQ(parseProxyHeader("PROXY UNKNOWN\r\n").clientAddress, std::nullopt);
  EXPECT_EQ(parseProxyHeader("PROXY TCP4 192.0.2.9 127.0.0.1 5").state, State::incomplete);
  EXPECT_EQ(parseProxyHeader("PRO").state, State::incomplete);
  for (std::string bad : std::initializer_list<std::string>{
           "GET / HTTP/1.1\r\n", "PROXY TCP4 2001:db8::5 127.0.0.1 1 2\r\n",
           "PROXY TCP4 192.0.2.9 127.0.0.1 1 99999\r\n", "PROXY TCP4 192.0.2.9\r\n",
           "PROXY TCP4 192.0.2.9 127.0.0.1 1 2 3\r\n", "PROXY " + std::string(120, 'A')})
    EXPECT_EQ(parseProxyHeader(bad).state, State::invalid) << bad;

  std::string signature("\r\n\r\n\0\r\nQUIT\n", 12);
  // PROXY over TCP4 from 192.0.2.9:51234 to 127.0.0.1:8080, then the start of a TLS hello.
  std::string v2 = signature + bytes({0x21, 0x11, 0, 12, 192, 0, 2, 9, 127, 0, 0, 1, 0xc8, 0x22, 0x1f, 0x90,
                                      0x16, 0x03, 0x01});
  auto binary = parseProxyHeader(v2);
  EXPECT_EQ(binary.state, State::complete);
  EXPECT_EQ(binary.length, 28u);
  EXPECT_EQ(binary.clientAddress, "192.0.2.9");
  EXPECT_EQ(parseProxyHeader(v2.substr(0, 20)).state, State::incomplete);
  auto local = parseProxyHeader(signature + std::string("\x20\x00\x00\x00", 4));
  EXPECT_EQ(local.state, State::complete);
  EXPECT_EQ(local.clientAddress, std::nullopt);
  std::string v6 = signature + "\x21\x21" + std::string("\0\x24", 2) + std::string(15, '\0') + "\x01" +
                   std::string(20, '\0');
  EXPECT_EQ(parseProxyHeader(v6).clientAddress, "::1");
  EXPECT_EQ(parseProxyHeader(signature + "\x31\x11" + std::string("\0\x0c", 2)).state, State::invalid);
  EXPECT_EQ(parseProxyHeader(signature + "\x21\x11" + std::string("\xff\xff", 2)).state, State::invalid);
  // A TCP6 header must carry both addresses and ports (36 bytes): a shorter one is refused.
  std::string shortV6 = signature + "\x21\x21" + std::string("\0\x0c", 2) + std::string(12, '\0');
  EXPECT_EQ(parseProxyHeader(shortV6).state, State::invalid);

  EXPECT_TRUE(isTrustedProxy({"127.0.0.1"}, "::ffff:127.0.0.1"));
  EXPECT_FALSE(isTrustedProxy({"127.0.0.1"}, "127.0.0.2"));
}

} // namespace
} // namespace glimor::server
