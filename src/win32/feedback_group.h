#pragma once
#include "net/feedback_view.h"
#include "platform/main_view.h"
#include "win32/window.h"

#include <functional>

namespace glimor::win32 {

// FeedBackGroup on the About page: the form's controls, laid out as designed, over the About text
// while it is open.
class FeedbackGroup final : public net::FeedbackView, private Window {
public:
  struct Clicks {
    std::function<void()> abort, submit;
  };

  FeedbackGroup(platform::MainView& main, std::function<void()> showLinksPage)
      : main_(main), showLinksPage_(std::move(showLinksPage)) {}
  // Created hidden on the About page; `contactButton` is "Send Feedback", which lies outside it.
  void createWindow(HWND aboutPage, HWND contactButton, HFONT font, Clicks clicks);

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
  void showLinksPage() override { showLinksPage_(); }

  static constexpr int maxTextLength = 2000;

private:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  static std::string textOf(HWND control);

  platform::MainView& main_;
  std::function<void()> showLinksPage_;
  Clicks clicks_;
  HWND contactButton_ = nullptr;
  HWND txtName_ = nullptr, txtEmail_ = nullptr, comboCat_ = nullptr, txtText_ = nullptr;
  HWND btnAbort_ = nullptr, btnSubmit_ = nullptr;
};

} // namespace glimor::win32
