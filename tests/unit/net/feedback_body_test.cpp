#include "net/feedback_body.h"

#include <gtest/gtest.h>

namespace glimor::net {
namespace {

TEST(FeedbackBody, PassesTheTextsUnencodedAndUntrimmed) {
  EXPECT_EQ(feedbackBody("Ann", "none", 2, "Hi&bye\r\n2nd"),
            "name=Ann&email=none&cat=2&text=Hi&bye\r\n2nd\r\n\r\n");
  EXPECT_EQ(feedbackBody(" Ann ", "a=b+c%", 0, ""), "name= Ann &email=a=b+c%&cat=0&text=\r\n\r\n");
}

} // namespace
} // namespace glimor::net
