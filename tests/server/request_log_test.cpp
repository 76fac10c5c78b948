#include "metrics.h"
#include "request_log.h"

#include <gtest/gtest.h>

namespace glimor::server {
namespace {

TEST(RequestLog, OneLineWithTimeClientRequestStatusSizeAndDuration) {
  auto when = std::chrono::system_clock::from_time_t(1700000000);
  std::string line =
      formatLogLine({"127.0.0.1", "GET", "/i/abc.png", 200, 2568, std::chrono::microseconds(1500)}, when);
  EXPECT_EQ(line, "2023-11-14T22:13:20Z 127.0.0.1 \"GET /i/abc.png\" 200 2568 1.5ms\n");
}

TEST(RequestLog, ClientTextCannotForgeLines) {
  auto when = std::chrono::system_clock::from_time_t(0);
  std::string line = formatLogLine({"::1", "GET", "/a\r\n1970 forged \"x\"", 404, 0, {}}, when);
  EXPECT_EQ(line, "1970-01-01T00:00:00Z ::1 \"GET /a\\x0d\\x0a1970 forged \\x22x\\x22\" 404 0 0.0ms\n");
  std::string longTarget = formatLogLine({"::1", "GET", std::string(5000, 'a'), 404, 0, {}}, when);
  EXPECT_LT(longTarget.size(), 400u);
  // Whoever reads the log cannot delete an image.
  std::string deletion = formatLogLine(
      {"::1", "POST", "/d/AAAAAAAAAAAAAAAA/ychlIN6U_9xZ8qw5xHXpUd0_ (answer cut short)", 200, 0, {}}, when);
  EXPECT_EQ(deletion,
            "1970-01-01T00:00:00Z ::1 \"POST /d/AAAAAAAAAAAAAAAA/\u2026 (answer cut short)\" 200 0 0.0ms\n");
  // Nor in another form that carries it, nor a token in a query.
  auto shown = [&](std::string_view target) {
    std::string line = formatLogLine({"::1", "GET", target, 404, 0, {}}, when);
    return line.substr(line.find('"') + 5, line.rfind('"') - line.find('"') - 5);
  };
  for (std::string_view target :
       {"//d/AAAAAAAAAAAAAAAA/ychlIN6U_9xZ8qw5xHXpUd0_", "/d/AAAAAAAAAAAAAAAA%2FychlIN6U_9xZ8qw5xHXpUd0_",
        "/d/AAAAAAAAAAAAAAAA%252FychlIN6U_9xZ8qw5xHXpUd0_", "/%64/AAAAAAAAAAAAAAAA/ychlIN6U_9xZ8qw5xHXpUd0_",
        "/d/AAAAAAAAAAAAAAAA?ychlIN6U_9xZ8qw5xHXpUd0_"})
    EXPECT_EQ(shown(target), "/d/AAAAAAAAAAAAAAAA/\u2026") << target;
  EXPECT_EQ(shown("/d/AAAAAAAAAAAAAAAA"), "/d/AAAAAAAAAAAAAAAA");
  EXPECT_EQ(shown("/my?page=2&TOKEN=ychlIN6U&token=x&tokens=1"),
            "/my?page=2&TOKEN=\u2026&token=\u2026&tokens=1");
}

TEST(Metrics, LabelsAreEscapedAndTheirSeriesBounded) {
  Metrics metrics;
  metrics.refusals.add({{"status", "400"}, {"reason", "a \"quoted\" \\ text\nnext"}});
  std::string text = metrics.render();
  EXPECT_NE(
      text.find("glimor_refusals_total{status=\"400\",reason=\"a \\\"quoted\\\" \\\\ text\\nnext\"} 1\n"),
      std::string::npos)
      << text;

  // Reasons that differ in numbers only share one series; beyond the bound, all go to "other".
  EXPECT_EQ(withoutNumbers("Too many uploads, try again in 12 s"), "Too many uploads, try again in N s");
  for (std::size_t i = 0; i < Metrics::maxSeries + 5; ++i)
    metrics.responses.add({{"route", "r" + std::to_string(i)}, {"status", "200"}});
  text = metrics.render();
  EXPECT_NE(text.find("glimor_responses_total{route=\"other\",status=\"other\"} 5\n"), std::string::npos);
  EXPECT_EQ(text.find("route=\"r256\""), std::string::npos);
}

} // namespace
} // namespace glimor::server
