#include "net/endpoints.h"

#include <gtest/gtest.h>

namespace glimor::net {
namespace {

TEST(ServiceEndpoints, FormsEveryAddressFromTheOneHost) {
  ServiceEndpoints fallback;
  EXPECT_EQ(fallback.uploadUrl(), "http://localhost:8080/guestglimor.php");
  ServiceEndpoints endpoints("img.example");
  EXPECT_EQ(endpoints.baseUrl(), "http://img.example/");
  EXPECT_EQ(endpoints.uploadUrl(), "http://img.example/guestglimor.php");
  EXPECT_EQ(endpoints.feedbackUrl(), "http://img.example/glimor/index.php?do=contact");
  EXPECT_EQ(endpoints.versionFileUrl(), "http://img.example/newglimor.txt");
}

} // namespace
} // namespace glimor::net
