#pragma once
#include "net/feedback_view.h"
#include "net/service_clients.h"
#include "platform/messages.h"
#include "platform/timer.h"
#include "platform/ui_thread.h"

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace glimor::net {

// What a refused feedback (401) shows after "Error encountered during POST: ": whether a token
// was sent, and where the user sets it.
std::string feedbackTokenText(bool tokenSent, std::string_view tokenPlace);

// The feedback form of the About page: closed, open, or locked for 30000 ms after a submission.
// The exchange runs on a thread of its own, so the window stays alive however the service answers;
// its outcome is carried out on the user-interface thread in the form's order of effects. It goes
// to the service, with the token, that the settings name when Submit is clicked.
class FeedbackForm {
public:
  enum class State { Closed, Open, Locked };

  FeedbackForm(FeedbackView& view, platform::Messages& messages, platform::Timers& timers,
               platform::UiThread& ui, ServiceClients& clients);
  // Waits for a running exchange; its outcome is then refused by the closed UI thread.
  ~FeedbackForm();

  void btnContactClick();
  void btnAbortClick();
  void btnSubmitClick();
  void FeedBackFloodTimer();

  State state() const { return state_; }
  bool sending() const { return sending_; }

private:
  bool allFieldsFilled() const;
  void send(std::string body, const ServiceSettings& settings); // on the exchange's thread
  void finish(bool sent); // on the user-interface thread: the lock after every submission

  FeedbackView& view_;
  platform::Messages& messages_;
  platform::UiThread& ui_;
  ServiceClients& clients_;
  State state_ = State::Closed;
  std::atomic<bool> sending_{false};
  std::thread exchange_;
  std::unique_ptr<platform::Timer> feedBackFlood_;
};

} // namespace glimor::net
