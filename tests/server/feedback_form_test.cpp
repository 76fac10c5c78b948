#include "feedback_form.h"
#include "refusal.h"

#include <gtest/gtest.h>

namespace glimor::server {
namespace {

TEST(FeedbackForm, SplitsTheProgramsBodyAtTheFirstMarkers) {
  auto form = parseFeedbackForm("name=Ann&email=none&cat=2&text=Hi&bye\r\n2nd\r\n\r\n");
  EXPECT_EQ(form.name, "Ann");
  EXPECT_EQ(form.email, "none");
  EXPECT_EQ(form.category, "2");
  EXPECT_EQ(form.text, "Hi&bye\r\n2nd");
}

TEST(FeedbackForm, KeepsValuesExactlyAsTyped) {
  auto form = parseFeedbackForm("name= Ann &email=a=b+c%20&cat=4&text=&email=&cat=&text= 100%\r\n\r\n\r\n");
  EXPECT_EQ(form.name, " Ann ");
  EXPECT_EQ(form.email, "a=b+c%20");
  EXPECT_EQ(form.category, "4");
  // Only the form's own two closing line breaks are dropped.
  EXPECT_EQ(form.text, "&email=&cat=&text= 100%\r\n");
}

TEST(FeedbackForm, TextWithoutClosingBreaksIsKeptWhole) {
  EXPECT_EQ(parseFeedbackForm("name=a&email=b&cat=1&text=no end").text, "no end");
  EXPECT_EQ(parseFeedbackForm("name=&email=&cat=0&text=").name, "");
}

TEST(FeedbackForm, RefusesBodiesThatLackAField) {
  for (std::string_view body : {"", "email=b&cat=1&text=t", "name=a&cat=1&text=t", "name=a&email=b&text=t",
                                "name=a&email=b&cat=1", "name=a&text=t&cat=1&email=b"}) {
    try {
      parseFeedbackForm(body);
      ADD_FAILURE() << "accepted: " << body;
    } catch (const Refusal& refusal) {
      EXPECT_EQ(refusal.status(), 400) << body;
    }
  }
}

} // namespace
} // namespace glimor::server
