#include "fakes/fake_network.h"
#include "fakes/fake_tls.h"
#include "http/bearer_token.h"
#include "http/refusal_text.h"
#include "net/service_clients.h"
#include "platform/error.h"

#include <gtest/gtest.h>

namespace glimor::net {
namespace {

http::Bytes bytesOf(std::string_view text) {
  return http::Bytes(text.begin(), text.end());
}

std::string postError(http::HttpClient& client, std::string_view url) {
  http::Bytes answer;
  try {
    client.Post(url, bytesOf("x"), answer);
  } catch (const std::exception& error) {
    return error.what();
  }
  return "";
}

class ServiceClientsTest : public ::testing::Test {
protected:
  const std::string& sent(std::size_t connection) const { return network.connections.at(connection)->sent; }

  fakes::FakeNetwork network;
  fakes::FakeTls tls;
  ServiceSettings settings;
  int reads = 0;
  ServiceClients clients{network, &tls,
                         [&] {
                           ++reads;
                           return settings;
                         },
                         std::string(tokenOnOptionsPage)};
};

TEST_F(ServiceClientsTest, EachExchangeTakesTheSettingsAsTheyAreWhenItBegins) {
  EXPECT_EQ(clients.endpoints().uploadUrl(), "http://localhost:8080/guestglimor.php"); // nothing set
  settings = {"https://img.example:8443", "one", "C:\\Apps\\ca.pem"};
  EXPECT_EQ(clients.endpoints().feedbackUrl(), "https://img.example:8443/glimor/index.php?do=contact");
  EXPECT_EQ(reads, 2);

  const ServiceSettings first = clients.settings();
  settings = {"img.example", "two", ""}; // changed while the first exchange is under way
  network.answer("HTTP/1.1 200 OK\r\n\r\n");
  network.answer("HTTP/1.1 200 OK\r\n\r\n");
  EXPECT_EQ(postError(clients.upload(first), first.endpoints().uploadUrl()), "");
  EXPECT_EQ(tls.trustAnchorFile, "C:\\Apps\\ca.pem");
  const ServiceSettings second = clients.settings();
  EXPECT_EQ(postError(clients.upload(second), second.endpoints().uploadUrl()), "");

  EXPECT_EQ(network.connections[0]->port, 8443);
  EXPECT_NE(sent(0).find("\r\nAuthorization: Bearer one\r\n"), std::string::npos);
  EXPECT_EQ(network.connections[1]->port, 80);
  EXPECT_NE(sent(1).find("\r\nAuthorization: Bearer two\r\n"), std::string::npos);
  EXPECT_EQ(tls.hosts.size(), 1u); // the second went over plain http
}

TEST_F(ServiceClientsTest, ATokenThatCannotGoOnTheWireStopsTheExchangeBeforeAnyConnection) {
  settings.token = "tok\r\nX-Injected: 1";
  const ServiceSettings snapshot = clients.settings();
  for (auto client : {&ServiceClients::upload, &ServiceClients::contact}) {
    try {
      (clients.*client)(snapshot);
      ADD_FAILURE() << "the token was taken";
    } catch (const Error& error) {
      EXPECT_EQ(error.what(), http::invalidTokenText);
    }
  }
  EXPECT_NO_THROW(clients.deletion(snapshot)); // which never carries it
  EXPECT_TRUE(network.connections.empty());
}

TEST_F(ServiceClientsTest, FeedbackCarriesTheTokenDeletionNeverAndEachClientKeepsItsCookies) {
  network.answer("HTTP/1.1 200 OK\r\nSet-Cookie: s=1\r\n\r\n");
  network.answer("HTTP/1.1 200 OK\r\n\r\n");
  network.answer("HTTP/1.1 200 OK\r\n\r\n");
  settings = {"svc", "s3cret", "ca.pem"};
  EXPECT_EQ(postError(clients.contact(settings), "http://svc/feedback"), "");
  EXPECT_EQ(postError(clients.deletion(settings), "https://elsewhere/d/1/2"), "");
  EXPECT_EQ(tls.trustAnchorFile, "ca.pem"); // the deletion link's service is checked against it too
  settings.token = "n3w";
  EXPECT_EQ(postError(clients.contact(settings), "http://svc/feedback"), "");

  EXPECT_NE(sent(0).find("\r\nAuthorization: Bearer s3cret\r\n\r\n"), std::string::npos);
  EXPECT_EQ(sent(1).find("Authorization"), std::string::npos);
  EXPECT_EQ(sent(1).find("Cookie"), std::string::npos);
  // A changed token does not make a new client object: the cookie it was given comes back.
  EXPECT_NE(sent(2).find("\r\nCookie: s=1\r\nAuthorization: Bearer n3w\r\n\r\n"), std::string::npos);
}

TEST_F(ServiceClientsTest, ARefusalForWantOfATokenSaysWhereTheTokenIsSet) {
  EXPECT_EQ(clients.failureText(http::Refusal(401, "Upload token required")),
            "Upload token required. Set the upload token on the Options page.");
  EXPECT_EQ(clients.failureText(http::Refusal(401, "Upload token not valid.")),
            "Upload token not valid. Set the upload token on the Options page.");
  EXPECT_EQ(clients.failureText(http::Refusal(429, "Too many uploads, try again in 30 s")),
            "Too many uploads, try again in 30 s");
  EXPECT_EQ(clients.failureText(Error("HTTP/1.1 403 Forbidden")), "HTTP/1.1 403 Forbidden");
}

} // namespace
} // namespace glimor::net
