#include "net/upload_time_text.h"

#include <gtest/gtest.h>

namespace glimor::net {
namespace {

using namespace std::chrono;

TEST(LocalUploadTime, ShowsTheHistorysUtcTimeInLocalTimeAndOtherTextsAsTheyAre) {
  sys_seconds asked{};
  auto twoHoursAhead = [&](system_clock::time_point utc) {
    asked = time_point_cast<seconds>(utc);
    return platform::LocalTime{2027, 1, 1, 1, 5};
  };
  EXPECT_EQ(localUploadTime("2026-12-31T23:05:09Z", twoHoursAhead), "2027-01-01 01:05");
  EXPECT_EQ(asked, sys_days(year(2026) / 12 / 31) + 23h + 5min + 9s);
  for (const char* odd :
       {"", "2026-12-31 23:05:09", "2026-02-30T10:00:00Z", "2026-12-31T24:00:00Z", "+026-12-31T23:05:09Z"})
    EXPECT_EQ(localUploadTime(odd, twoHoursAhead), odd);
}

} // namespace
} // namespace glimor::net
