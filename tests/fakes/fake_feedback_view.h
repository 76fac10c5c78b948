#pragma once
#include "net/feedback_view.h"

#include <functional>
#include <string>
#include <vector>

namespace glimor::fakes {

// The form's controls as plain fields; the form starts closed, as the window creates it.
class FakeFeedbackView final : public net::FeedbackView {
public:
  std::string name() const override { return txtName; }
  std::string email() const override { return txtEmail; }
  std::string text() const override { return txtText; }
  int category() const override { return comboCat; }
  void clearTexts() override { txtName.clear(), txtEmail.clear(), txtText.clear(); }
  void setGroupVisible(bool visible) override { groupVisible = visible; }
  void setContactButtonVisible(bool visible) override { contactVisible = visible; }
  void setSubmitButton(bool enabled, const std::string& caption) override {
    submitEnabled = enabled;
    submitCaption = caption;
  }
  void focusName() override { focusedName = true; }
  void setStatus(const std::string& text) override {
    statuses.push_back(text);
    if (onStatus) onStatus(text);
  }
  void repaintNow() override { ++repaints; }
  void showLinksPage() override { linksPageShown = true; }

  std::string txtName, txtEmail, txtText;
  int comboCat = 1;
  bool groupVisible = false, contactVisible = true, submitEnabled = true, focusedName = false;
  bool linksPageShown = false;
  std::string submitCaption = "Submit";
  std::vector<std::string> statuses;
  int repaints = 0;
  std::function<void(const std::string&)> onStatus;
};

} // namespace glimor::fakes
