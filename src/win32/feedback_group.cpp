#include "win32/feedback_group.h"

#include "win32/controls.h"

namespace glimor::win32 {
namespace {

enum : int { idName = 1, idEmail, idCategory, idText, idAbort, idSubmit };

} // namespace

void FeedbackGroup::create(HWND aboutPage, HWND notify, HWND contactButton, HFONT font) {
  contactButton_ = contactButton;
  HWND self = group_.create(aboutPage, notify, 0, 0, 385, 126, false, false, "GlimorFeedback");
  ::SetWindowPos(self, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

  createControl(self,
                {.className = "BUTTON", .width = 385, .height = 126, .style = BS_GROUPBOX, .font = font});
  // The fields start well after the longest label: scaled text is drawn in a wider face, and the
  // layout widens a label to its text (see DpiLayout), into this gap.
  constexpr int fieldX = 66, fieldWidth = 185 - fieldX;
  auto label = [&](const char* text, int y) {
    createControl(self, {.text = text, .x = 8, .y = y, .width = fieldX - 16, .height = 13, .font = font});
  };
  label("Name:", 16);
  label("E-Mail:", 40);
  label("Category:", 64);
  // Created in tab order: the category first, then e-mail, name, text and the two buttons.
  comboCat_ = createControl(self, {.className = "COMBOBOX",
                                   .x = fieldX,
                                   .y = 61,
                                   .width = fieldWidth,
                                   .height = 21 + 100,
                                   .style = CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL,
                                   .id = idCategory,
                                   .font = font});
  for (const wchar_t* item : {L"General Feedback", L"Suggestion", L"Report Abuse", L"Other"})
    ::SendMessageW(comboCat_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  ::SendMessageW(comboCat_, CB_SETCURSEL, 0, 0);
  auto field = [&](int y, int id) {
    return createControl(self, {.className = "EDIT",
                                .x = fieldX,
                                .y = y,
                                .width = fieldWidth,
                                .height = 19,
                                .style = ES_AUTOHSCROLL | WS_TABSTOP,
                                .exStyle = WS_EX_CLIENTEDGE,
                                .id = id,
                                .font = font});
  };
  txtEmail_ = field(37, idEmail);
  txtName_ = field(13, idName);
  txtText_ = createControl(
      self, {.className = "EDIT",
             .x = 192,
             .y = 13,
             .width = 185,
             .height = 84,
             .style = ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | ES_NOHIDESEL | WS_VSCROLL | WS_TABSTOP,
             .exStyle = WS_EX_CLIENTEDGE,
             .id = idText,
             .font = font});
  ::SendMessageW(txtText_, EM_LIMITTEXT, maxTextLength, 0);
  btnAbort_ = createControl(self, {.className = "BUTTON",
                                   .text = "Abort",
                                   .x = 192,
                                   .y = 100,
                                   .width = 57,
                                   .height = 22,
                                   .style = BS_PUSHBUTTON | WS_TABSTOP,
                                   .id = idAbort,
                                   .font = font});
  btnSubmit_ = createControl(self, {.className = "BUTTON",
                                    .text = "Submit",
                                    .x = 272,
                                    .y = 100,
                                    .width = 105,
                                    .height = 22,
                                    .style = BS_PUSHBUTTON | WS_TABSTOP,
                                    .id = idSubmit,
                                    .font = font});
}

int FeedbackGroup::category() const {
  LRESULT selected = ::SendMessageW(comboCat_, CB_GETCURSEL, 0, 0);
  return selected == CB_ERR ? 0 : static_cast<int>(selected) + 1;
}

void FeedbackGroup::clearTexts() {
  for (HWND field : {txtName_, txtEmail_, txtText_}) ::SetWindowTextW(field, L"");
}

void FeedbackGroup::setGroupVisible(bool visible) {
  ::ShowWindow(group_.hwnd(), visible ? SW_SHOW : SW_HIDE);
}

void FeedbackGroup::setContactButtonVisible(bool visible) {
  ::ShowWindow(contactButton_, visible ? SW_SHOW : SW_HIDE);
}

void FeedbackGroup::setSubmitButton(bool enabled, const std::string& caption) {
  ::EnableWindow(btnSubmit_, enabled);
  setWindowText(btnSubmit_, caption);
}

std::string FeedbackGroup::textOf(HWND control) {
  return windowText(control);
}

} // namespace glimor::win32
