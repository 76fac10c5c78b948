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

std::string feedbackTokenText(bool tokenSent, std::string_view tokenPlace) {
  std::string text = tokenSent ? "Feedback needs a valid upload token." : "Feedback needs an upload token.";
  if (!tokenPlace.empty()) text.append(" ").append(tokenPlace);
  return text;
}

FeedbackForm::FeedbackForm(FeedbackView& view, platform::Messages& messages, platform::Timers& timers,
                           platform::UiThread& ui, ServiceClients& clients)
    : view_(view), messages_(messages), ui_(ui), clients_(clients) {
  feedBackFlood_ = timers.create(30000, false, [this] { FeedBackFloodTimer(); });
}

FeedbackForm::~FeedbackForm() {
  if (exchange_.joinable()) exchange_.join();
}

void FeedbackForm::btnContactClick() {
  view_.setGroupVisible(true);
  view_.focusName();
  view_.setContactButtonVisible(false);
  state_ = State::Open;
}

void FeedbackForm::btnAbortClick() {
  if (sending_) return; // the texts are on their way; the outcome closes the form
  view_.clearTexts();
  view_.setGroupVisible(false);
  view_.setContactButtonVisible(true);
  state_ = State::Closed;
}

bool FeedbackForm::allFieldsFilled() const {
  return !isBlank(view_.name()) && !isBlank(view_.email()) && !isBlank(view_.text());
}

void FeedbackForm::btnSubmitClick() {
  if (sending_) return;
  if (!allFieldsFilled()) {
    messages_.show("You must fill all fields.");
    return;
  }
  view_.setStatus("Sending your feedback...");
  view_.repaintNow();
  std::string body;
  try {
    body = feedbackBody(view_.name(), view_.email(), view_.category(), view_.text());
  } catch (const std::exception&) {
    view_.setStatus("Could not send feedback.");
    finish(false);
    return;
  }
  // Submit waits for the outcome; the window goes on meanwhile.
  view_.setSubmitButton(false, "Submit");
  if (exchange_.joinable()) exchange_.join(); // the previous exchange has delivered its outcome
  ServiceSettings settings = clients_.settings();
  sending_ = true;
  exchange_ = std::thread([this, body = std::move(body), settings = std::move(settings)]() mutable {
    send(std::move(body), settings);
  });
}

void FeedbackForm::send(std::string body, const ServiceSettings& settings) {
  std::optional<std::string> failure;
  try {
    http::Bytes answer;
    clients_.contact(settings).Post(
        settings.endpoints().feedbackUrl(),
        std::span(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()), answer);
  } catch (const std::exception& error) {
    // The service's words for a 401 speak of uploads; the form says what it means for feedback.
    failure = isTokenRefusal(error) ? feedbackTokenText(!settings.token.empty(), clients_.tokenPlace())
                                    : error.what();
  }
  try {
    ui_.synchronize([&] {
      if (failure) {
        messages_.show(std::string(postErrorPrefix) + *failure);
        view_.setStatus("Could not send feedback.");
      } else {
        view_.setStatus("Feedback sent. Glimor is now ready.");
      }
      finish(!failure);
    });
  } catch (const std::exception&) {
    // The window is gone; nobody is left to tell.
  }
  sending_ = false;
}

void FeedbackForm::finish(bool sent) {
  feedBackFlood_->setEnabled(true);
  view_.setSubmitButton(false, "Already sent !");
  // What the user wrote is kept when it did not reach the service, to be sent again later.
  if (sent) view_.clearTexts();
  view_.setGroupVisible(false);
  view_.setContactButtonVisible(false);
  view_.showLinksPage();
  state_ = State::Locked;
}

void FeedbackForm::FeedBackFloodTimer() {
  feedBackFlood_->setEnabled(false);
  view_.setSubmitButton(true, "Submit");
  view_.setContactButtonVisible(true);
  state_ = State::Closed;
}

} // namespace glimor::net
