#include "fakes/fake_network.h"
#include "fakes/fake_tls.h"
#include "http/http_client.h"
#include "net/service_clients.h"
#include "platform/error.h"

#include <gtest/gtest.h>

namespace glimor::http {
namespace {

using namespace std::chrono_literals;
using fakes::FakeNetwork;

Bytes bytesOf(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

std::string postError(HttpClient& client, std::string_view url, Bytes& answer) {
  try {
    client.Post(url, bytesOf("body"), answer);
  } catch (const Error& error) {
    return error.what();
  }
  return "";
}

TEST(HttpClientPost, SendsTheHeadInOneWriteAndTheBodyInPiecesOfAtMost32768Bytes) {
  FakeNetwork network;
  network.answer("HTTP/1.0 200 OK\r\n\r\nLink: x");
  HttpClient client(net::uploadClientConfig(), network);
  Bytes body(70000);
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<std::uint8_t>(i * 7);
  Bytes answer;
  client.Post("http://LocalHost:8080/guestglimor.php", body, answer);

  const auto& connection = *network.connections.at(0);
  EXPECT_EQ(connection.host, "LocalHost");
  EXPECT_EQ(connection.port, 8080);
  ASSERT_EQ(connection.sendSizes.size(), 4u);
  std::size_t headSize = connection.sendSizes[0];
  EXPECT_EQ(connection.sent.substr(headSize - 4, 4), "\r\n\r\n");
  EXPECT_EQ(connection.sendSizes[1], 32768u);
  EXPECT_EQ(connection.sendSizes[2], 32768u);
  EXPECT_EQ(connection.sendSizes[3], 70000u - 65536u);
  EXPECT_EQ(connection.sent.substr(headSize), std::string(body.begin(), body.end()));
  EXPECT_NE(connection.sent.find("\r\nContent-Length: 70000\r\n"), std::string::npos);
  EXPECT_EQ(std::string(answer.begin(), answer.end()), "Link: x");
  EXPECT_EQ(network.lastConnectLimit, 30s);
}

TEST(HttpClientPost, OpensAFreshConnectionForEveryPostAndKeepsOneOnlyWhenAskedTo) {
  FakeNetwork network;
  network.answer("HTTP/1.1 200 OK\r\nConnection:  Keep-ALIVE \r\nContent-Length: 1\r\n\r\na");
  network.answer("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nb");
  network.answer("HTTP/1.1 500 Oops\r\nProxy-Connection: keep-alive\r\n\r\n");
  HttpClient client(net::contactClientConfig(), network);
  Bytes answer;
  client.Post("http://h/a", bytesOf("1"), answer);
  EXPECT_FALSE(network.connections[0]->closed);
  client.Post("http://h/b", bytesOf("2"), answer);
  EXPECT_TRUE(network.connections[0]->closed);
  EXPECT_TRUE(network.connections[1]->closed);
  EXPECT_EQ(postError(client, "http://h/c", answer), "HTTP/1.1 500 Oops");
  EXPECT_FALSE(network.connections[2]->closed);
  EXPECT_EQ(std::string(answer.begin(), answer.end()), "ab");
  EXPECT_EQ(network.connections.size(), 3u);
}

// A connection opened ahead carries the next request to the same place, and only that one.
TEST(HttpClientPost, TakesAConnectionOpenedAheadOnlyForTheSamePlace) {
  FakeNetwork network;
  network.answer("HTTP/1.0 200 OK\r\n\r\none");
  network.answer("HTTP/1.0 200 OK\r\n\r\ntwo");
  network.answer("HTTP/1.0 200 OK\r\n\r\nthree");
  HttpClient client(net::uploadClientConfig(), network);
  client.openAhead("http://h:81/upload");
  ASSERT_EQ(network.connections.size(), 1u);
  EXPECT_TRUE(network.connections[0]->sent.empty());
  Bytes answer;
  client.Post("http://h:81/other/path", bytesOf("1"), answer);
  ASSERT_EQ(network.connections.size(), 1u);
  EXPECT_NE(network.connections[0]->sent.find("POST /other/path HTTP/1.0"), std::string::npos);

  client.openAhead("http://h:81/upload");
  client.Post("http://h:82/upload", bytesOf("2"), answer); // another port: a new connection
  ASSERT_EQ(network.connections.size(), 3u);
  EXPECT_TRUE(network.connections[1]->closed);
  EXPECT_TRUE(network.connections[1]->sent.empty());
  EXPECT_EQ(std::string(answer.begin(), answer.end()), "onethree");

  network.script({}); // closed by the server before the request
  network.answer("HTTP/1.0 200 OK\r\n\r\nfour");
  client.openAhead("http://h:81/upload");
  client.Post("http://h:81/upload", bytesOf("4"), answer);
  ASSERT_EQ(network.connections.size(), 5u);
  EXPECT_TRUE(network.connections[3]->sent.empty());
  EXPECT_NE(network.connections[4]->sent.find("\r\n\r\n4"), std::string::npos);

  network.failConnect("Socket Error # 10061\r\nConnection refused.");
  client.openAhead("http://h:81/upload"); // quietly: the exchange says what fails
  EXPECT_EQ(postError(client, "http://h:81/upload", answer), "Socket Error # 10061\r\nConnection refused.");
}

TEST(HttpClientPost, SendsCookiesBackOnlyFromTheClientObjectThatReceivedThem) {
  FakeNetwork network;
  network.answer("HTTP/1.1 200 OK\r\nSet-Cookie: session=abc; path=/\r\n\r\n");
  network.answer("HTTP/1.1 200 OK\r\n\r\n");
  network.answer("HTTP/1.1 200 OK\r\n\r\n");
  network.answer("HTTP/1.1 200 OK\r\n\r\n");
  HttpClient HTTP(net::uploadClientConfig(), network), contactHTTP(net::contactClientConfig(), network);
  Bytes answer;
  HTTP.Post("http://svc/guestglimor.php", bytesOf("1"), answer);
  HTTP.Post("http://svc/guestglimor.php", bytesOf("2"), answer);
  contactHTTP.Post("http://svc/glimor/index.php?do=contact", bytesOf("3"), answer);
  HTTP.Post("http://other/guestglimor.php", bytesOf("4"), answer);
  EXPECT_EQ(network.connections[0]->sent.find("Cookie:"), std::string::npos);
  EXPECT_NE(network.connections[1]->sent.find("\r\nCookie: session=abc\r\n\r\n"), std::string::npos);
  EXPECT_EQ(network.connections[2]->sent.find("Cookie:"), std::string::npos);
  EXPECT_EQ(network.connections[3]->sent.find("Cookie:"), std::string::npos);
}

TEST(HttpClientPost, PassesNetworkFailuresOnAndStaysUsable) {
  FakeNetwork network;
  network.script({fakes::data("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"),
                  fakes::failure("Socket Error # 10054\r\nConnection reset by peer.")});
  network.answer("HTTP/1.1 200 OK\r\n\r\nfine");
  HttpClient client(net::uploadClientConfig(), network);
  Bytes answer;
  EXPECT_EQ(postError(client, "http://h/x", answer), "Socket Error # 10054\r\nConnection reset by peer.");
  EXPECT_EQ(std::string(answer.begin(), answer.end()), "abc");
  EXPECT_TRUE(network.connections[0]->closed);
  Bytes second;
  client.Post("http://h/x", bytesOf("again"), second);
  EXPECT_EQ(std::string(second.begin(), second.end()), "fine");

  network.failConnect("Socket Error # 10061\r\nConnection refused.");
  EXPECT_EQ(postError(client, "http://h/x", answer), "Socket Error # 10061\r\nConnection refused.");
}

TEST(HttpClientPost, ReadsWithTheIdleLimitAndReportsItsExpiry) {
  FakeNetwork network;
  network.script({fakes::silence()});
  Limits limits;
  limits.readIdle = 1500ms;
  HttpClient client(net::uploadClientConfig(), network, limits);
  Bytes answer;
  EXPECT_EQ(postError(client, "http://h/x", answer), "Read Timeout");
  EXPECT_EQ(network.connections[0]->receiveWaits.at(0), 1500ms);
}

TEST(HttpClientPost, SecuresHttpsWithTheUrlsHostAndTheTrustAnchorFileAndFailsWithItsRefusal) {
  FakeNetwork network;
  network.answer("HTTP/1.0 200 OK\r\n\r\nLink: x");
  network.answer("HTTP/1.0 200 OK\r\n\r\nLink: y");
  fakes::FakeTls tls;
  HttpClient client(net::uploadClientConfig(), network, {}, {&tls, "C:\\certs\\ca.pem"});
  Bytes answer;
  client.Post("https://img.example:8443/guestglimor.php", bytesOf("body"), answer);
  EXPECT_EQ(std::string(answer.begin(), answer.end()), "Link: x");
  EXPECT_EQ(network.connections.at(0)->port, 8443);
  EXPECT_EQ(tls.hosts, std::vector<std::string>{"img.example"});
  EXPECT_EQ(tls.trustAnchorFile, "C:\\certs\\ca.pem");
  EXPECT_EQ(tls.timeLimit, 30s);

  client.Post("http://img.example/guestglimor.php", bytesOf("body"), answer);
  EXPECT_EQ(tls.hosts.size(), 1u); // plain http stays plain

  tls.refusal = "The certificate of img.example is not trusted (its issuer is unknown).";
  EXPECT_EQ(postError(client, "https://img.example/guestglimor.php", answer), tls.refusal);
  EXPECT_EQ(network.connections.back()->port, 443);
  EXPECT_EQ(network.connections.back()->sent, ""); // nothing goes out over a refused connection
}

TEST(HttpClientPost, ACancelStaysInForceUntilResetSoOneJustBeforeThePostStopsIt) {
  FakeNetwork network;
  network.answer("HTTP/1.0 200 OK\r\n\r\nLink: x");
  HttpClient client(net::uploadClientConfig(), network);
  Bytes answer;
  client.cancel();
  EXPECT_EQ(postError(client, "http://svc/", answer), "The exchange was cancelled.");
  EXPECT_TRUE(network.connections.empty());
  client.resetCancel();
  EXPECT_EQ(postError(client, "http://svc/", answer), "");
}

} // namespace
} // namespace glimor::http
