#pragma once
#include "http/http_client.h"
#include "net/feedback_view.h"
#include "platform/messages.h"
#include "platform/timer.h"

#include <memory>
#include <string>

namespace glimor::net {

// The feedback form of the About page: closed, open, or locked for 30000 ms after a submission.
class FeedbackForm {
public:
  enum class State { Closed, Open, Locked };

  FeedbackForm(FeedbackView& view, platform::Messages& messages, platform::Timers& timers,
               http::HttpClient& contactHTTP, std::string feedbackUrl);

  void btnContactClick();
  void btnAbortClick();
  void btnSubmitClick();
  void FeedBackFloodTimer();

  State state() const { return state_; }

private:
  bool allFieldsFilled() const;
  bool send(); // true when the service took the feedback

  FeedbackView& view_;
  platform::Messages& messages_;
  http::HttpClient& contactHTTP_;
  std::string feedbackUrl_;
  State state_ = State::Closed;
  std::unique_ptr<platform::Timer> feedBackFlood_;
};

} // namespace glimor::net
