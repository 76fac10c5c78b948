#include "fakes/canned_stream.h"
#include "http/receive_answer.h"
#include "platform/error.h"

#include <gtest/gtest.h>

namespace glimor::http {
namespace {

using namespace std::chrono_literals;
using fakes::CannedStream;

struct Received {
  AnswerHead head;
  std::string body;
  std::string error; // empty when the answer was accepted
};

Received receive(ByteStream& stream, Limits limits = {}) {
  Received result;
  CookieStore cookies;
  Bytes body;
  try {
    receiveAnswer(stream, limits, cookies, "h", result.head, body);
  } catch (const Error& error) {
    result.error = error.what();
  }
  result.body.assign(body.begin(), body.end());
  return result;
}

Received receive(std::string answer, Limits limits = {}) {
  CannedStream stream(std::move(answer));
  return receive(stream, limits);
}

TEST(ReceiveAnswer, ReadsABodyWithoutLengthUntilTheServerCloses) {
  Received r = receive("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nLink: abc\r\nmore");
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.body, "Link: abc\r\nmore");
  EXPECT_EQ(r.head.statusCode, 200);
  EXPECT_EQ(r.head.header("content-type"), "text/plain");
}

TEST(ReceiveAnswer, StopsAtContentLengthAndFailsAnAnswerCutOffBeforeIt) {
  EXPECT_EQ(receive("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nabcdEXTRA").body, "abcd");
  EXPECT_EQ(receive("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\nignored").body, "");
  const std::string cutOff = "The connection ended before the answer was complete.";
  EXPECT_EQ(receive("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabcd").error, cutOff);
  // chunked: closed within a chunk, after a chunk's data, before the last (empty) chunk
  for (const char* cut : {"5\r\nLin", "5\r\nLink:", "5\r\nLink:\r\n"})
    EXPECT_EQ(receive(std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n") + cut).error,
              cutOff)
        << cut;
  // a refused answer cut short still fails with its own status line
  EXPECT_EQ(receive("HTTP/1.1 503 Busy\r\nContent-Length: 10\r\n\r\nab").error, "HTTP/1.1 503 Busy");
}

TEST(ReceiveAnswer, ATokenOrRateRefusalFailsWithTheServicesOwnWords) {
  EXPECT_EQ(
      receive("HTTP/1.1 401 Upload token required\r\nContent-Length: 23\r\n\r\nUpload token required\r\n")
          .error,
      "Upload token required");
  // The body's first line first; markup, control characters or nothing: the reason phrase.
  EXPECT_EQ(receive("HTTP/1.1 429 Too Many Requests\r\n\r\nToo many uploads, try again in 7 s\nmore").error,
            "Too many uploads, try again in 7 s");
  EXPECT_EQ(receive("HTTP/1.1 401 Upload token not valid\r\n\r\n<html>401</html>").error,
            "Upload token not valid");
  EXPECT_EQ(receive("HTTP/1.1 429 Slow down\r\n\r\n\x1b]0;owned\x07").error, "Slow down");
  EXPECT_EQ(receive("HTTP/1.1 401\r\nContent-Length: 0\r\n\r\n").error, "HTTP/1.1 401");
  // Other refusals, and a refusal that redirects, name their status line as before.
  EXPECT_EQ(receive("HTTP/1.1 403 Forbidden\r\n\r\nNo.").error, "HTTP/1.1 403 Forbidden");
  EXPECT_EQ(receive("HTTP/1.1 401 Log in\r\nLocation: /login\r\n\r\nGo.").error, "HTTP/1.1 401 Log in");
}

TEST(ReceiveAnswer, TakesAContentLengthThatIsNoNumberAsAbsent) {
  EXPECT_EQ(receive("HTTP/1.0 200 OK\r\nContent-Length: -3\r\n\r\nto close").body, "to close");
  EXPECT_EQ(receive("HTTP/1.0 200 OK\r\nContent-Length: 1x\r\n\r\nto close").body, "to close");
}

TEST(ReceiveAnswer, JoinsChunksAndReadsTheLineAfterTheLast) {
  Received r = receive("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nLink:\r\n0\r\n\r\n");
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.body, "Link:");
  EXPECT_EQ(
      receive(
          "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3 ext\r\nabc\r\nA\r\n0123456789\r\n0\r\n\r\n")
          .body,
      "abc0123456789");
}

TEST(ReceiveAnswer, EndsTheChunkedBodyAtASizeThatIsNoHexNumber) {
  Received r = receive("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\nzz\r\nlost\r\n\r\n");
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.body, "ab");
}

TEST(ReceiveAnswer, TreatsChunkedCaseSensitivelyAsWritten) {
  EXPECT_EQ(receive("HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n5\r\nLink:\r\n0\r\n\r\n").body,
            "5\r\nLink:\r\n0\r\n\r\n");
}

TEST(ReceiveAnswer, FailsRedirectsWithTheirStatusLine) {
  Received moved =
      receive("HTTP/1.1 302 Found\r\nLocation: http://elsewhere/\r\nContent-Length: 3\r\n\r\nabc");
  EXPECT_EQ(moved.error, "HTTP/1.1 302 Found");
  EXPECT_EQ(moved.body, "");
  EXPECT_EQ(receive("HTTP/1.1 200 OK\r\nLocation: /x\r\n\r\nLink: a").error, "HTTP/1.1 200 OK");
  EXPECT_EQ(receive("HTTP/1.1 200 OK\r\nLocation:   \r\n\r\nLink: a").body, "Link: a");
  EXPECT_EQ(receive("HTTP/1.1 304 Not Modified\r\n\r\n").error, "HTTP/1.1 304 Not Modified");
}

TEST(ReceiveAnswer, FailsOtherStatusesAndDrainsTheirBodyWithTheShortWait) {
  CannedStream stream(std::string("HTTP/1.1 500 Internal Server Error\r\n\r\nsorry"));
  Received r = receive(stream);
  EXPECT_EQ(r.error, "HTTP/1.1 500 Internal Server Error");
  EXPECT_EQ(r.body, "");
  EXPECT_EQ(stream.waits.front(), 60s);
  EXPECT_EQ(stream.waits.back(), 2000ms);
  EXPECT_EQ(receive("HTTP/1.1 407 Proxy Authentication Required\r\n\r\n").error,
            "HTTP/1.1 407 Proxy Authentication Required");
}

TEST(ReceiveAnswer, ReportsAPauseInADrainedBodyAsReadTimeout) {
  CannedStream stream({std::string("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nabc"), std::nullopt});
  EXPECT_EQ(receive(stream).error, "Read Timeout");
}

TEST(ReceiveAnswer, AcceptsA204WithoutBody) {
  Received r = receive("HTTP/1.1 204 No Content\r\n\r\nstray");
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.body, "");
}

TEST(ReceiveAnswer, SkipsInterimContinueAnswers) {
  Received r = receive("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\nX: y\r\n\r\n"
                       "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.head.statusLine, "HTTP/1.1 200 OK");
  EXPECT_EQ(r.body, "ok");
}

TEST(ReceiveAnswer, FailsAStatusLineWithoutNumberWithThatLine) {
  Received r = receive("HTTP/1.0 OK\r\n\r\nbody");
  EXPECT_EQ(r.head.statusCode, -1);
  EXPECT_EQ(r.error, "HTTP/1.0 OK");
}

TEST(ReceiveAnswer, AcceptsLoneLineFeedsAndPiecesOfAnySize) {
  CannedStream stream({std::string("HTTP/1.1 2"), std::string("00 OK\nContent-Len"), std::string("gth: 3\n"),
                       std::string("\nab"), std::string("c")});
  Received r = receive(stream);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.body, "abc");
}

TEST(ReceiveAnswer, PassesCompressedBodiesThroughUntouched) {
  const std::string gzip("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\xcb\xc9\xcc\xcb\x06\x00\x00\x00\xff\xff",
                         20);
  Received r = receive("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 20\r\n\r\n" + gzip);
  EXPECT_EQ(r.body, gzip);
}

TEST(ReceiveAnswer, NamesEveryWayTheHeaderCanEnd) {
  EXPECT_EQ(receive("").error, "Connection Closed Gracefully.");
  EXPECT_EQ(receive("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n").error, "Undefined situation");
  EXPECT_EQ(receive("HTTP/1.1 204 No Content\r\n").error, "Undefined situation");
  EXPECT_EQ(receive("HTTP/1.1 100 Continue\r\n\r\n").error, "Connection Closed Gracefully.");
  EXPECT_EQ(receive("HTTP/1.1 503 Busy\r\nRetry-After: 1").error, "HTTP/1.1 503 Busy");
  CannedStream silent({std::nullopt});
  EXPECT_EQ(receive(silent).error, "Read Timeout");
}

TEST(ReceiveAnswer, RefusesLinesLongerThan16384Bytes) {
  std::string longest(16384 - 3, 'a');
  EXPECT_EQ(receive("HTTP/1.1 200 OK\r\nX: " + longest + "\r\n\r\nok").body, "ok");
  EXPECT_EQ(receive("HTTP/1.1 200 OK\r\nX: " + longest + "b\r\n\r\nok").error, "Max line length exceeded.");
  EXPECT_EQ(receive("HTTP/1.1 200 OK\nX: " + longest + "b\n\nok").error, "Max line length exceeded.");
  EXPECT_EQ(receive("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string(20000, '0')).error,
            "Max line length exceeded.");
}

TEST(ReceiveAnswer, BoundsTheHeaderBlock) {
  std::string many = "HTTP/1.1 200 OK\r\n";
  for (int i = 0; i < 600; ++i) many += "X-Filler: " + std::to_string(i) + "\r\n";
  EXPECT_EQ(receive(many + "\r\n").error, "Header block too large.");
  std::string continues;
  for (int i = 0; i < 600; ++i) continues += "HTTP/1.1 100 Continue\r\n\r\n";
  EXPECT_EQ(receive(continues + "HTTP/1.1 200 OK\r\n\r\n").error, "Header block too large.");
}

TEST(ReceiveAnswer, BoundsTheBodyWhateverTheServerAnnounces) {
  Limits small;
  small.maxBody = 10;
  const std::string tooLarge = "The answer is larger than 10 bytes.";
  EXPECT_EQ(receive("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\nabc", small).error,
            tooLarge);
  EXPECT_EQ(receive("HTTP/1.1 200 OK\r\n\r\n" + std::string(11, 'x'), small).error, tooLarge);
  EXPECT_EQ(receive("HTTP/1.1 200 OK\r\n\r\n" + std::string(10, 'x'), small).error, "");
  EXPECT_EQ(
      receive("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n8\r\n12345678\r\n3\r\nabc\r\n0\r\n\r\n",
              small)
          .error,
      tooLarge);
  EXPECT_EQ(
      receive("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFFFFFF\r\nab").error,
      "The answer is larger than 67108864 bytes.");
  // A failing answer names its status line however large its body claims to be.
  EXPECT_EQ(receive("HTTP/1.1 404 Not Found\r\nContent-Length: 999999999999\r\n\r\n", small).error,
            "HTTP/1.1 404 Not Found");
}

TEST(ReceiveAnswer, StoresCookiesOfEveryHeaderBlock) {
  CannedStream stream(
      std::string("HTTP/1.1 100 Continue\r\nSet-Cookie: early=1\r\n\r\n"
                  "HTTP/1.1 200 OK\r\nset-cookie: id=42; Path=/\r\nSET-COOKIE2: v=2\r\n\r\n"));
  CookieStore cookies;
  AnswerHead head;
  Bytes body;
  receiveAnswer(stream, {}, cookies, "h", head, body);
  EXPECT_EQ(cookies.cookieHeaderFor("H"), "early=1; id=42; v=2");
  EXPECT_EQ(cookies.cookieHeaderFor("other"), "");
}

} // namespace
} // namespace glimor::http
