#include "admission.h"

#include <gtest/gtest.h>

namespace glimor::server {
namespace {

Config smallUploads() {
  Config config;
  config.maxUploadBytes = 1000;
  return config;
}

std::string refusalOf(const RequestHead& head) {
  auto result = admit(head, smallUploads());
  auto* turndown = std::get_if<Turndown>(&result);
  return turndown ? std::to_string(turndown->status) + " " + turndown->reason : "admitted";
}

TEST(Admission, RefusesBadHeadsBeforeTheirBody) {
  RequestHead upload{"POST", "/guestglimor.php", 8, 1, 500, false};
  EXPECT_EQ(refusalOf(upload), "admitted");
  RequestHead tooMany = upload;
  tooMany.headerLines = 65;
  EXPECT_EQ(refusalOf(tooMany), "431 Too many header lines");
  RequestHead twoHosts = upload;
  twoHosts.hostLines = 2;
  EXPECT_EQ(refusalOf(twoHosts), "400 More than one Host line");
  RequestHead noLength = upload;
  noLength.contentLength.reset();
  EXPECT_EQ(refusalOf(noLength), "411 Content-Length required");
  RequestHead large = upload;
  large.contentLength = 1000 + 64 * 1024 + 1;
  EXPECT_EQ(refusalOf(large), "413 Upload larger than 1000 bytes");
  RequestHead largeForm{"POST", "/glimor/index.php?do=contact", 8, 1, 64 * 1024 + 1, false};
  EXPECT_EQ(refusalOf(largeForm), "413 Request body too large");
}

TEST(Admission, ClaimsWhatTheBodyMayHold) {
  auto claimOf = [](RequestHead head) { return std::get<Admitted>(admit(head, smallUploads())).bodyClaim; };
  EXPECT_EQ(claimOf({"POST", "/guestglimor.php", 8, 1, 500, false}), 500u);
  EXPECT_EQ(claimOf({"POST", "/guestglimor.php", 8, 1, std::nullopt, true}), 1000u + 64 * 1024);
  EXPECT_EQ(claimOf({"GET", "/i/x.png", 3, 1, std::nullopt, false}), 0u);
}

} // namespace
} // namespace glimor::server
