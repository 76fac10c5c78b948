#include "http/cookie_store.h"

#include <gtest/gtest.h>

namespace glimor::http {
namespace {

TEST(CookieStore, ReplacesByNameAndDropsExpiredOrEmptyCookies) {
  CookieStore cookies;
  cookies.store("h", "a=1; Path=/");
  cookies.store("h", "b=2");
  cookies.store("h", "a=3");
  EXPECT_EQ(cookies.cookieHeaderFor("h"), "a=3; b=2");
  cookies.store("h", "a=x; Max-Age=0");
  cookies.store("h", "b=");
  EXPECT_EQ(cookies.cookieHeaderFor("h"), "");
}

TEST(CookieStore, IgnoresValuesWithoutNameAndBoundsItsSize) {
  CookieStore cookies;
  cookies.store("h", "no pair here");
  cookies.store("h", "=orphan");
  cookies.store("h", "big=" + std::string(CookieStore::maxCookieSize, 'x'));
  EXPECT_EQ(cookies.cookieHeaderFor("h"), "");
  for (std::size_t i = 0; i < CookieStore::maxCookies + 10; ++i)
    cookies.store("h", std::string(1, 'c').append(std::to_string(i)).append("=v"));
  std::string header = cookies.cookieHeaderFor("h");
  EXPECT_NE(header.find("c49=v"), std::string::npos);
  EXPECT_EQ(header.find("c50=v"), std::string::npos);
}

} // namespace
} // namespace glimor::http
