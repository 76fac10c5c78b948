#include "fakes/fake_feedback_view.h"
#include "fakes/fake_messages.h"
#include "fakes/fake_network.h"
#include "fakes/fake_timers.h"
#include "fakes/fake_ui_thread.h"
#include "net/feedback_form.h"
#include "net/service_clients.h"
#include "platform/socket_error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace glimor::net {
namespace {

using ::testing::ElementsAre;
using State = FeedbackForm::State;

class FeedbackFormTest : public ::testing::Test {
protected:
  void fill(std::string name, std::string email, std::string text) {
    view.txtName = std::move(name);
    view.txtEmail = std::move(email);
    view.txtText = std::move(text);
  }
  // Submit, then play the user-interface thread until the exchange has delivered its outcome.
  void submit() {
    form.btnSubmitClick();
    ui.pumpUntil([&] { return !form.sending(); });
  }
  std::string sentBody() const {
    const std::string& sent = network.connections.at(0)->sent;
    return sent.substr(sent.find("\r\n\r\n") + 4);
  }

  fakes::FakeFeedbackView view;
  fakes::FakeMessages messages;
  fakes::FakeTimers timers;
  fakes::FakeNetwork network;
  fakes::FakeUiThread ui;
  ServiceSettings settings{.host = "svc"};
  ServiceClients clients{network, nullptr, [&] { return settings; }, std::string(tokenOnOptionsPage)};
  FeedbackForm form{view, messages, timers, ui, clients};
};

TEST_F(FeedbackFormTest, OpensAndAbortsKeepingTheCategory) {
  form.btnContactClick();
  EXPECT_EQ(form.state(), State::Open);
  EXPECT_TRUE(view.groupVisible);
  EXPECT_FALSE(view.contactVisible);
  EXPECT_TRUE(view.focusedName);

  fill("Ann", "a@b", "text");
  view.comboCat = 3;
  form.btnAbortClick();
  EXPECT_EQ(form.state(), State::Closed);
  EXPECT_FALSE(view.groupVisible);
  EXPECT_TRUE(view.contactVisible);
  EXPECT_EQ(view.txtName + view.txtEmail + view.txtText, "");
  EXPECT_EQ(view.comboCat, 3);
}

TEST_F(FeedbackFormTest, SendsTheFieldsAsTypedAndLocksForThirtySeconds) {
  network.answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  form.btnContactClick();
  fill(" Ann ", "none", "Hi&bye\r\n2nd");
  view.comboCat = 2;
  std::size_t repaintsBeforeSend = 0;
  view.onStatus = [&](const std::string& text) {
    if (text == "Sending your feedback...") repaintsBeforeSend = network.connections.size();
  };
  form.btnSubmitClick();
  EXPECT_FALSE(view.submitEnabled); // no second submission while the first is on its way
  ui.pumpUntil([&] { return !form.sending(); });

  EXPECT_EQ(repaintsBeforeSend, 0u); // the status came before the exchange
  EXPECT_EQ(view.repaints, 1);
  EXPECT_EQ(sentBody(), "name= Ann &email=none&cat=2&text=Hi&bye\r\n2nd\r\n\r\n");
  EXPECT_EQ(network.connections[0]->sent.rfind("POST /glimor/index.php?do=contact HTTP/1.0\r\n", 0), 0u);
  EXPECT_THAT(view.statuses, ElementsAre("Sending your feedback...", "Feedback sent. Glimor is now ready."));
  EXPECT_EQ(form.state(), State::Locked);
  EXPECT_FALSE(view.groupVisible);
  EXPECT_FALSE(view.contactVisible);
  EXPECT_FALSE(view.submitEnabled);
  EXPECT_EQ(view.submitCaption, "Already sent !");
  EXPECT_TRUE(view.linksPageShown);
  EXPECT_EQ(view.txtName + view.txtEmail + view.txtText, "");

  timers.advance(29999);
  EXPECT_FALSE(view.contactVisible);
  timers.advance(1);
  EXPECT_EQ(form.state(), State::Closed);
  EXPECT_TRUE(view.contactVisible);
  EXPECT_TRUE(view.submitEnabled);
  EXPECT_EQ(view.submitCaption, "Submit");
  EXPECT_EQ(view.comboCat, 2);
  timers.advance(60000);
  EXPECT_EQ(timers.enabledCount(), 0u);
}

TEST_F(FeedbackFormTest, BlankFieldsAreRefusedAndNothingIsSent) {
  form.btnContactClick();
  for (auto [name, email, text] : {std::tuple{"  ", "e", "t"}, {"n", "\t\r\n", "t"}, {"n", "e", ""}}) {
    fill(name, email, text);
    form.btnSubmitClick();
    EXPECT_EQ(form.state(), State::Open);
    EXPECT_EQ(view.txtName, name); // left as typed
  }
  EXPECT_THAT(messages.shown, ElementsAre("You must fill all fields.", "You must fill all fields.",
                                          "You must fill all fields."));
  EXPECT_TRUE(network.connections.empty());
  EXPECT_TRUE(view.statuses.empty());
}

TEST_F(FeedbackFormTest, AFailedSendIsReportedLocksTheFormAndKeepsTheTexts) {
  network.answer("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
  form.btnContactClick();
  fill("Ann", "none", std::string(2000, 'x'));
  submit();

  EXPECT_THAT(messages.shown,
              ElementsAre("Error encountered during POST: HTTP/1.1 500 Internal Server Error"));
  EXPECT_THAT(view.statuses, ElementsAre("Sending your feedback...", "Could not send feedback."));
  EXPECT_EQ(form.state(), State::Locked);
  EXPECT_EQ(view.submitCaption, "Already sent !");
  EXPECT_FALSE(view.groupVisible);

  timers.advance(30000);
  form.btnContactClick();
  EXPECT_EQ(view.txtName, "Ann");
  EXPECT_EQ(view.txtEmail, "none");
  EXPECT_EQ(view.txtText.size(), 2000u);
  EXPECT_EQ(sentBody(), "name=Ann&email=none&cat=1&text=" + std::string(2000, 'x') + "\r\n\r\n");
}

TEST_F(FeedbackFormTest, AnUnreachableServiceNamesTheSocketError) {
  network.failConnect(platform::socketErrorMessage(platform::wsa::connectionRefused));
  fill("Ann", "none", "t");
  submit();
  EXPECT_THAT(messages.shown,
              ElementsAre("Error encountered during POST: Socket Error # 10061\r\nConnection refused."));
  EXPECT_EQ(view.statuses.back(), "Could not send feedback.");
}

TEST_F(FeedbackFormTest, ARefusedTokenIsAFeedbackMatterToBeSetOnTheOptionsPage) {
  const std::string refusal = "HTTP/1.1 401 Unauthorized\r\nContent-Length: 21\r\n\r\nUpload token required";
  network.answer(refusal);
  fill("Ann", "none", "t");
  submit();
  settings = {.host = "svc", .token = "t0ken"}; // set after the first refusal
  network.answer(refusal);
  timers.advance(30000);
  fill("Ann", "none", "t");
  submit();

  EXPECT_THAT(messages.shown, ElementsAre("Error encountered during POST: Feedback needs an upload token. "
                                          "Set the upload token on the Options page.",
                                          "Error encountered during POST: Feedback needs a valid upload "
                                          "token. Set the upload token on the Options page."));
  EXPECT_NE(network.connections.at(1)->sent.find("\r\nAuthorization: Bearer t0ken\r\n"), std::string::npos);
  EXPECT_EQ(view.statuses.back(), "Could not send feedback.");
}

} // namespace
} // namespace glimor::net
