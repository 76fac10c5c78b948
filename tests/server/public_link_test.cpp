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
  EXPECT_EQ(linkBase(std::string("http://img.example.org"), "https", "localhost:8080", "127.0.0.1:8080"),
            "http://img.example.org/");
  // Byte for byte as the client configured it, letter case and port included.
  EXPECT_EQ(linkBase(std::nullopt, "http", "LocalHost:8080", "127.0.0.1:8080"), "http://LocalHost:8080/");
  EXPECT_EQ(linkBase(std::nullopt, "http", std::nullopt, "127.0.0.1:8080"), "http://127.0.0.1:8080/");
}

TEST(PublicLink, RequestsOverTlsGetHttpsLinksUnlessThePublicUrlSaysOtherwise) {
  EXPECT_EQ(linkBase(std::nullopt, "https", "localhost:8443", "127.0.0.1:8443"), "https://localhost:8443/");
  EXPECT_EQ(linkBase(std::nullopt, "https", std::nullopt, "[::1]:8443"), "https://[::1]:8443/");
  EXPECT_EQ(linkBase(std::string("https://images.example.org"), "http", "127.0.0.1:8080", "127.0.0.1:8080"),
            "https://images.example.org/");
}

TEST(PublicLink, RefusesAHostLineThatIsNoHost) {
  try {
    linkBase(std::nullopt, "https", "x\r\nLink: http://elsewhere/", "127.0.0.1:1");
    FAIL();
  } catch (const Refusal& refusal) {
    EXPECT_EQ(refusal.status(), 400);
  }
}

} // namespace
} // namespace glimor::server
