#include "http/request_head.h"
#include "net/service_clients.h"
#include "platform/error.h"

#include <gtest/gtest.h>

namespace glimor::http {
namespace {

const std::string acceptLines =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg,\r\n"
    " application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword,\r\n"
    " application/x-shockwave-flash, */*\r\n";

TEST(RequestHead, UploadHeadIsExactlyAsTheServiceExpects) {
  std::string head =
      buildRequestHead(net::uploadClientConfig(), splitUrl("http://img.example/guestglimor.php"), 1234, "");
  EXPECT_EQ(head, "POST /guestglimor.php HTTP/1.0\r\n"
                  "Connection: Keep-Alive\r\n"
                  "Content-Type: multipart/form-data;\r\n"
                  " boundary=---------------------------7d6891e3b0542\r\n"
                  "Content-Length: 1234\r\n"
                  "Cache-control: no-cache\r\n"
                  "Host: img.example\r\n" +
                      acceptLines +
                      "Accept-Encoding: gzip, deflate\r\n"
                      "Accept-Language: hr\r\n"
                      "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
                      "\r\n");
}

TEST(RequestHead, FeedbackHeadCarriesQueryPortAndCookies) {
  std::string head =
      buildRequestHead(net::contactClientConfig(),
                       splitUrl("http://localhost:8080/glimor/index.php?do=contact"), 7, "a=1; b=2");
  EXPECT_EQ(head, "POST /glimor/index.php?do=contact HTTP/1.0\r\n"
                  "Connection: Keep-Alive\r\n"
                  "Content-Type: application/x-www-form-urlencoded\r\n"
                  "Content-Length: 7\r\n"
                  "Cache-control: no-cache\r\n"
                  "Host: localhost:8080\r\n" +
                      acceptLines +
                      "Accept-Encoding: gzip, deflate\r\n"
                      "Accept-Language: hr\r\n"
                      "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
                      "Cookie: a=1; b=2\r\n"
                      "\r\n");
}

TEST(RequestHead, AnUploadTokenAddsOneLineAfterAllOthersAndNothingElse) {
  ClientConfig config = net::uploadClientConfig();
  Url url = splitUrl("http://img.example/guestglimor.php");
  std::string without = buildRequestHead(config, url, 9, "a=1");
  const std::string token = "Zx-9_.~+/" + std::string(90, 'k') + "=="; // long: a folded line would split it
  config.bearerToken = BearerToken(token);
  EXPECT_EQ(buildRequestHead(config, url, 9, "a=1"),
            without.substr(0, without.size() - 2) + "Authorization: Bearer " + token + "\r\n\r\n");
  // No other token can be made, so none reaches a head.
  for (const char* bad : {"abc\r\nX-Injected: 1", "a b", "a\tb", "=", "a=b", "\x01x", "t\xe9"})
    EXPECT_THROW(BearerToken{bad}, Error) << bad;
  EXPECT_TRUE(BearerToken("").empty());
}

TEST(RequestHead, NamesPort80NeitherWhenWrittenNorWhenImplied) {
  EXPECT_NE(buildRequestHead({}, splitUrl("http://h:80/x"), 0, "").find("\r\nHost: h\r\n"),
            std::string::npos);
  EXPECT_NE(buildRequestHead({}, splitUrl("http://h/x"), 0, "").find("\r\nHost: h\r\n"), std::string::npos);
  // Over https the port that goes without saying is 443.
  EXPECT_NE(buildRequestHead({}, splitUrl("https://h:443/x"), 0, "").find("\r\nHost: h\r\n"),
            std::string::npos);
  EXPECT_NE(buildRequestHead({}, splitUrl("https://h:80/x"), 0, "").find("\r\nHost: h:80\r\n"),
            std::string::npos);
}

TEST(RequestHead, LeavesOutHeadersWithoutValue) {
  ClientConfig bare;
  bare.connection.clear();
  bare.cacheControl.clear();
  EXPECT_EQ(buildRequestHead(bare, splitUrl("http://h/"), 0, ""),
            "POST / HTTP/1.0\r\nContent-Length: 0\r\nHost: h\r\n\r\n");
}

TEST(RequestHead, ARequestsShapeSetsItsMethodTypeAndHeadersReplacingTheClientsOfTheSameName) {
  ClientConfig config;
  config.contentType = "multipart/form-data";
  config.userAgent = "Glimor";
  config.bearerToken = BearerToken("tok");
  const RequestShape put{"PUT", "image/png", {{"user-agent", "Mine"}, {"X-Key", "a b"}}};
  EXPECT_EQ(
      buildRequestHead(config, splitUrl("http://h/up/a.png"), 3, "", put),
      "PUT /up/a.png HTTP/1.0\r\nConnection: Keep-Alive\r\nContent-Type: image/png\r\nContent-Length: 3\r\n"
      "Cache-control: no-cache\r\nHost: h\r\nuser-agent: Mine\r\nX-Key: a b\r\nAuthorization: Bearer "
      "tok\r\n\r\n");
  const RequestShape get{"GET", "", {}};
  EXPECT_EQ(buildRequestHead(ClientConfig{}, splitUrl("http://h/d/1"), 0, "", get),
            "GET /d/1 HTTP/1.0\r\nConnection: Keep-Alive\r\nCache-control: no-cache\r\nHost: h\r\n\r\n");
}

} // namespace
} // namespace glimor::http
