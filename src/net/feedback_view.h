#pragma once
#include <string>

namespace glimor::net {

// The feedback form's controls on the About page, and what it needs of the main window.
class FeedbackView {
public:
  virtual ~FeedbackView() = default;
  virtual std::string name() const = 0;                   // txtName
  virtual std::string email() const = 0;                  // txtEmail
  virtual std::string text() const = 0;                   // txtText
  virtual int category() const = 0;                       // comboCat: 1 to 4, 0 when nothing is selected
  virtual void clearTexts() = 0;                          // the three text fields; the category stays
  virtual void setGroupVisible(bool visible) = 0;         // FeedBackGroup
  virtual void setContactButtonVisible(bool visible) = 0; // btnContact "Send Feedback"
  virtual void setSubmitButton(bool enabled, const std::string& caption) = 0;
  virtual void focusName() = 0;
  virtual void setStatus(const std::string& text) = 0; // status panel 0
  virtual void repaintNow() = 0;
  virtual void showLinksPage() = 0;
};

} // namespace glimor::net
