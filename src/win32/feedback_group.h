#pragma once
#include "net/feedback_view.h"
#include "platform/main_view.h"
#include "win32/container.h"

namespace glimor::win32 {

// FeedBackGroup on the About page: the form's controls, laid out as designed, over the About text
// while it is open.
class FeedbackGroup final : public net::FeedbackView {
public:
  explicit FeedbackGroup(platform::MainView& main) : main_(main) {}
  // Creates the form hidden on the About page, passing its commands on to `notify`;
  // `contactButton` is "Send Feedback", which lies outside it.
  void create(HWND aboutPage, HWND notify, HWND contactButton, HFONT font);
  HWND abortButton() const { return btnAbort_; }
  HWND submitButton() const { return btnSubmit_; }

  std::string name() const override { return textOf(txtName_); }
  std::string email() const override { return textOf(txtEmail_); }
  std::string text() const override { return textOf(txtText_); }
  int category() const override;
  void clearTexts() override;
  void setGroupVisible(bool visible) override;
  void setContactButtonVisible(bool visible) override;
  void setSubmitButton(bool enabled, const std::string& caption) override;
  void focusName() override { ::SetFocus(txtName_); }
  void setStatus(const std::string& text) override { main_.setStatus(0, text); }
  void repaintNow() override { main_.repaintNow(); }
  void showLinksPage() override { main_.setActivePage(0); }

  static constexpr int maxTextLength = 2000;

private:
  static std::string textOf(HWND control);

  platform::MainView& main_;
  Container group_;
  HWND contactButton_ = nullptr;
  HWND txtName_ = nullptr, txtEmail_ = nullptr, comboCat_ = nullptr, txtText_ = nullptr;
  HWND btnAbort_ = nullptr, btnSubmit_ = nullptr;
};

} // namespace glimor::win32
