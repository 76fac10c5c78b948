#include "http/tls_connection.h"

#include "fakes/fake_network.h"
#include "fakes/fake_tls_engine.h"
#include "platform/error.h"

#include <gtest/gtest.h>

#include <numeric>

namespace glimor::http {
namespace {

using namespace std::chrono_literals;
using fakes::FakeTlsEngine;
using fakes::ServerStep;

const std::string hello = FakeTlsEngine::record('H', "hello"),
                  finished = FakeTlsEngine::record('H', "finished");

struct Secured {
  std::unique_ptr<platform::Connection> connection;
  std::shared_ptr<fakes::ConnectionRecord> tcp;
};

Secured secure(fakes::FakeNetwork& network, std::vector<ServerStep> steps, int flights = 1,
               std::size_t maxPlain = 16384) {
  network.script(std::move(steps));
  auto engine = std::make_unique<FakeTlsEngine>(flights, maxPlain);
  Secured secured;
  static const platform::CancelToken never;
  auto tcp = network.connect("svc", 443, 1s, never);
  secured.tcp = network.connections.back();
  secured.connection = secureOver(std::move(engine), std::move(tcp), "svc", 30s);
  return secured;
}

// What the connection yields until it ends: the text, then "|" and what ended it when not an end.
std::string readAll(platform::Connection& connection) {
  std::string text;
  std::uint8_t buffer[4];
  try {
    for (int piece = 0; piece < 100; ++piece) {
      std::optional<std::size_t> got = connection.receive(buffer, 1s);
      if (!got) return text + "|wait expired";
      if (*got == 0) return text;
      text.append(buffer, buffer + *got);
    }
  } catch (const Error& failure) {
    return text + "|" + failure.what();
  }
  return text + "|endless";
}

std::string handshakeError(std::vector<ServerStep> steps) {
  fakes::FakeNetwork network;
  try {
    secure(network, std::move(steps));
  } catch (const Error& error) {
    return error.what();
  }
  return "";
}

TEST(TlsConnection, HandshakesInStepsAndOpensRecordsSplitAcrossReadsUntilCloseNotify) {
  const std::string first = FakeTlsEngine::record('H', "one"), second = FakeTlsEngine::record('H', "two");
  const std::string data = FakeTlsEngine::record('D', "Hello, ") + FakeTlsEngine::record('D', "world");
  fakes::FakeNetwork network;
  Secured secured =
      secure(network,
             {fakes::data(first.substr(0, 2)), fakes::data(first.substr(2) + second + data.substr(0, 12)),
              fakes::data(data.substr(12)), fakes::data(FakeTlsEngine::record('Z', ""))},
             2);
  EXPECT_EQ(secured.tcp->sent, hello + finished);
  EXPECT_EQ(readAll(*secured.connection), "Hello, world");
  EXPECT_EQ(readAll(*secured.connection), ""); // ended stays ended
}

TEST(TlsConnection, FailsWithTheProgramsTextsWhenTheServiceStopsOrTheEngineRefuses) {
  EXPECT_EQ(handshakeError({}), "TLS handshake with svc failed: the service closed the connection.");
  EXPECT_EQ(handshakeError({fakes::silence()}), "Socket Error # 10060\r\nConnection timed out.");
  EXPECT_EQ(
      handshakeError({fakes::data(FakeTlsEngine::record('E', "The certificate of svc is not trusted."))}),
      "The certificate of svc is not trusted.");

  // Cut without close_notify: what came is read, then the cut is an error, not an end.
  fakes::FakeNetwork network;
  const std::string link = FakeTlsEngine::record('D', "Link: x");
  EXPECT_EQ(readAll(*secure(network, {fakes::data(finished + link)}).connection),
            "Link: x|" + std::string(platform::cutOffText));
  EXPECT_EQ(readAll(*secure(network, {fakes::data(finished + FakeTlsEngine::record('E', "TLS Error: bad."))})
                         .connection),
            "|TLS Error: bad.");
  EXPECT_EQ(readAll(*secure(network, {fakes::data(finished), fakes::silence()}).connection), "|wait expired");
}

TEST(TlsConnection, SealsLargeWritesInRecordsOfTheEnginesSizeAtMost16384AndSendsThemTogether) {
  std::vector<std::uint8_t> bytes(40000);
  std::iota(bytes.begin(), bytes.end(), 0);
  for (std::size_t engineMax : {1000u, 100000u}) {
    fakes::FakeNetwork network;
    Secured secured = secure(network, {fakes::data(finished)}, 1, engineMax);
    secured.connection->send(bytes, 1s);
    const std::size_t record = std::min<std::size_t>(engineMax, 16384);
    // The records of one write go out together, not one network write per record.
    EXPECT_EQ(secured.tcp->sendSizes.size(), 3u) << engineMax; // hello, finished, the records
    std::string expected = hello + finished;
    for (std::size_t at = 0; at < bytes.size(); at += record)
      expected += FakeTlsEngine::record(
          'D', std::string(bytes.begin() + at, bytes.begin() + std::min(bytes.size(), at + record)));
    EXPECT_EQ(secured.tcp->sent, expected) << engineMax;
  }
}

} // namespace
} // namespace glimor::http
