#include "http/url.h"
#include "platform/error.h"

#include <gtest/gtest.h>

namespace glimor::http {
namespace {

TEST(SplitUrl, TakesHostPortPathDocumentAndQueryApart) {
  Url url = splitUrl("http://Example.com:8080/glimor/index.php?do=contact#top");
  EXPECT_EQ(url.protocol, "http");
  EXPECT_EQ(url.host, "Example.com");
  EXPECT_EQ(url.port, 8080);
  EXPECT_EQ(url.path, "/glimor/");
  EXPECT_EQ(url.document, "index.php");
  EXPECT_EQ(url.query, "?do=contact");
}

TEST(SplitUrl, DefaultsToPort80AndTheRootPath) {
  Url bare = splitUrl("http://localhost");
  EXPECT_EQ(bare.port, 80);
  EXPECT_EQ(bare.path, "/");
  EXPECT_EQ(bare.document, "");
  Url withoutScheme = splitUrl("host/a/b/?x=/y");
  EXPECT_EQ(withoutScheme.protocol, "http");
  EXPECT_EQ(withoutScheme.path, "/a/b/");
  EXPECT_EQ(withoutScheme.query, "?x=/y");
}

TEST(SplitUrl, KeepsThePathAsWrittenWithoutEncoding) {
  Url url = splitUrl("http://h/a b/c%20d.php");
  EXPECT_EQ(url.path + url.document, "/a b/c%20d.php");
}

TEST(SplitUrl, RefusesBadPortsAndOtherProtocols) {
  EXPECT_THROW(splitUrl("http://h:abc/"), Error);
  EXPECT_THROW(splitUrl("http://h:0/"), Error);
  EXPECT_THROW(splitUrl("http://h:65536/"), Error);
  EXPECT_THROW(splitUrl("http://h:/"), Error);
  try {
    splitUrl("ftp://h/");
    FAIL();
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Protocol not supported: ftp");
  }
}

TEST(SplitUrl, HttpsDefaultsToPort443) {
  Url url = splitUrl("HTTPS://img.example/guestglimor.php");
  EXPECT_TRUE(url.secure());
  EXPECT_EQ(url.port, 443);
  EXPECT_EQ(splitUrl("https://img.example:8443/").port, 8443);
  EXPECT_FALSE(splitUrl("http://img.example/").secure());
}

} // namespace
} // namespace glimor::http
