#include "public_link.h"
#include "refusal.h"

#include <gtest/gtest.h>

namespace glimor::server {
namespace {

TEST(PublicLink, HostLinesThatMayBeEchoed) {
  for (std::string_view host : {"localhost", "LOCALHOST:8080", "img.example.org", "192.168.1.5:80",
                                "[::1]:8080", "[fe80::1]", "my_host"})
    EXPECT_TRUE(isValidHost(host)) << host;
  for (std::string_view host : {"", ":80", "a:", "a:8o", "a b", "a\r\nLink: http://evil/", "a/b", "a:123456",
                                "[::1", "[]", "[::1]x", "x\"y", "a?b"})
    EXPECT_FALSE(isValidHost(host)) << host;
}

TEST(PublicLink, BaseComesFromPublicUrlThenHostLineThenLocalAddress) {
  EXPECT_EQ(linkBase(std::string("http://img.example.org"), "localhost:8080", "127.0.0.1:8080"),
            "http://img.example.org/");
  // Byte for byte as the client configured it, letter case and port included.
  EXPECT_EQ(linkBase(std::nullopt, "LocalHost:8080", "127.0.0.1:8080"), "http://LocalHost:8080/");
  EXPECT_EQ(linkBase(std::nullopt, std::nullopt, "127.0.0.1:8080"), "http://127.0.0.1:8080/");
}

TEST(PublicLink, RefusesAHostLineThatIsNoHost) {
  try {
    linkBase(std::nullopt, "x\r\nLink: http://elsewhere/", "127.0.0.1:1");
    FAIL();
  } catch (const Refusal& refusal) {
    EXPECT_EQ(refusal.status(), 400);
  }
}

} // namespace
} // namespace glimor::server
