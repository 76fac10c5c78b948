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

TEST(ServiceEndpoints, FollowTheSchemeOfTheSetting) {
  ServiceEndpoints secure("https://img.example:8443/");
  EXPECT_EQ(secure.baseUrl(), "https://img.example:8443/");
  EXPECT_EQ(secure.uploadUrl(), "https://img.example:8443/guestglimor.php");
  EXPECT_EQ(secure.versionFileUrl(), "https://img.example:8443/newglimor.txt");
  EXPECT_EQ(ServiceEndpoints("http://img.example").feedbackUrl(),
            "http://img.example/glimor/index.php?do=contact");
}

} // namespace
} // namespace glimor::net
