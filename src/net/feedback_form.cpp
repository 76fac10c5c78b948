#include "net/feedback_form.h"

#include "net/feedback_body.h"
#include "net/upload.h"
#include "platform/error.h"

namespace glimor::net {
namespace {

bool isBlank(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) > ' ') return false;
  return true;
}

} // namespace

FeedbackForm::FeedbackForm(FeedbackView& view, platform::Messages& messages, platform::Timers& timers,
                           http::HttpClient& contactHTTP, std::string feedbackUrl)
    : view_(view), messages_(messages), contactHTTP_(contactHTTP), feedbackUrl_(std::move(feedbackUrl)) {
  feedBackFlood_ = timers.create(30000, false, [this] { FeedBackFloodTimer(); });
}

void FeedbackForm::btnContactClick() {
  view_.setGroupVisible(true);
  view_.focusName();
  view_.setContactButtonVisible(false);
  state_ = State::Open;
}

void FeedbackForm::btnAbortClick() {
  view_.clearTexts();
  view_.setGroupVisible(false);
  view_.setContactButtonVisible(true);
  state_ = State::Closed;
}

bool FeedbackForm::allFieldsFilled() const {
  return !isBlank(view_.name()) && !isBlank(view_.email()) && !isBlank(view_.text());
}

void FeedbackForm::btnSubmitClick() {
  if (!allFieldsFilled()) {
    messages_.show("You must fill all fields.");
    return;
  }
  view_.setStatus("Sending your feedback...");
  view_.repaintNow();
  bool sent = send();

  feedBackFlood_->setEnabled(true);
  view_.setSubmitButton(false, "Already sent !");
  // What the user wrote is kept when it did not reach the service, to be sent again later.
  if (sent) view_.clearTexts();
  view_.setGroupVisible(false);
  view_.setContactButtonVisible(false);
  view_.showLinksPage();
  state_ = State::Locked;
}

bool FeedbackForm::send() {
  try {
    std::string body = feedbackBody(view_.name(), view_.email(), view_.category(), view_.text());
    http::Bytes answer;
    // The client bounds every wait, so the window is never held for long by a silent service.
    try {
      contactHTTP_.Post(feedbackUrl_,
                        std::span(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()), answer);
    } catch (const Error& error) {
      messages_.show(std::string(postErrorPrefix) + error.what());
      view_.setStatus("Could not send feedback.");
      return false;
    }
    view_.setStatus("Feedback sent. Glimor is now ready.");
    return true;
  } catch (const std::exception&) {
    view_.setStatus("Could not send feedback.");
    return false;
  }
}

void FeedbackForm::FeedBackFloodTimer() {
  feedBackFlood_->setEnabled(false);
  view_.setSubmitButton(true, "Submit");
  view_.setContactButtonVisible(true);
  state_ = State::Closed;
}

} // namespace glimor::net
