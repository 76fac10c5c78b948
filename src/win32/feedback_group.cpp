#include "win32/feedback_group.h"

#include "win32/controls.h"

namespace glimor::win32 {
namespace {

enum : int { idName = 1, idEmail, idCategory, idText, idAbort, idSubmit };

} // namespace

void FeedbackGroup::createWindow(HWND aboutPage, HWND contactButton, HFONT font, Clicks clicks) {
  clicks_ = std::move(clicks);
  contactButton_ = contactButton;
  registerClass("GlimorFeedback");
  HWND self = Window::create("GlimorFeedback", "", WS_CHILD | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, 0, 0, 385,
                             126, aboutPage);
  ::SetWindowPos(self, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

  createControl(self, {"BUTTON", "", 0, 0, 385, 126, BS_GROUPBOX, 0, 0, true, font});
  // The fields start a little after the longest label, so a wider face for scaled text still fits.
  constexpr int fieldX = 62, fieldWidth = 185 - fieldX;
  createControl(self, {"STATIC", "Name:", 8, 16, fieldX - 10, 13, 0, 0, 0, true, font});
  createControl(self, {"STATIC", "E-Mail:", 8, 40, fieldX - 10, 13, 0, 0, 0, true, font});
  createControl(self, {"STATIC", "Category:", 8, 64, fieldX - 10, 13, 0, 0, 0, true, font});
  // Created in tab order: the category first, then e-mail, name, text and the two buttons.
  comboCat_ = createControl(self, {"COMBOBOX", "", fieldX, 61, fieldWidth, 21 + 100,
                                   CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL, 0, idCategory, true, font});
  for (const char* item : {"General Feedback", "Suggestion", "Report Abuse", "Other"})
    ::SendMessageA(comboCat_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  ::SendMessageA(comboCat_, CB_SETCURSEL, 0, 0);
  txtEmail_ = createControl(self, {"EDIT", "", fieldX, 37, fieldWidth, 19, ES_AUTOHSCROLL | WS_TABSTOP,
                                   WS_EX_CLIENTEDGE, idEmail, true, font});
  txtName_ = createControl(self, {"EDIT", "", fieldX, 13, fieldWidth, 19, ES_AUTOHSCROLL | WS_TABSTOP,
                                  WS_EX_CLIENTEDGE, idName, true, font});
  txtText_ = createControl(
      self, {"EDIT", "", 192, 13, 185, 84,
             ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | ES_NOHIDESEL | WS_VSCROLL | WS_TABSTOP,
             WS_EX_CLIENTEDGE, idText, true, font});
  ::SendMessageA(txtText_, EM_LIMITTEXT, maxTextLength, 0);
  btnAbort_ = createControl(
      self, {"BUTTON", "Abort", 192, 100, 57, 22, BS_PUSHBUTTON | WS_TABSTOP, 0, idAbort, true, font});
  btnSubmit_ = createControl(
      self, {"BUTTON", "Submit", 272, 100, 105, 22, BS_PUSHBUTTON | WS_TABSTOP, 0, idSubmit, true, font});
}

int FeedbackGroup::category() const {
  LRESULT selected = ::SendMessageA(comboCat_, CB_GETCURSEL, 0, 0);
  return selected == CB_ERR ? 0 : static_cast<int>(selected) + 1;
}

void FeedbackGroup::clearTexts() {
  for (HWND field : {txtName_, txtEmail_, txtText_}) ::SetWindowTextA(field, "");
}

void FeedbackGroup::setGroupVisible(bool visible) {
  ::ShowWindow(hwnd(), visible ? SW_SHOW : SW_HIDE);
}

void FeedbackGroup::setContactButtonVisible(bool visible) {
  ::ShowWindow(contactButton_, visible ? SW_SHOW : SW_HIDE);
}

void FeedbackGroup::setSubmitButton(bool enabled, const std::string& caption) {
  ::EnableWindow(btnSubmit_, enabled);
  ::SetWindowTextA(btnSubmit_, caption.c_str());
}

std::string FeedbackGroup::textOf(HWND control) {
  int length = ::GetWindowTextLengthA(control);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  int copied = ::GetWindowTextA(control, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

LRESULT FeedbackGroup::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (panelDialogMessage(hwnd(), message, wParam, lParam)) return 0;
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    if (LOWORD(wParam) == idAbort && clicks_.abort) clicks_.abort();
    if (LOWORD(wParam) == idSubmit && clicks_.submit) clicks_.submit();
    return 0;
  }
  return Window::handle(message, wParam, lParam);
}

} // namespace glimor::win32
