#include "win32/messages.h"

#include "os/win32/wide_text.h"
#include "win32/window.h"

namespace glimor::win32 {

void Win32Messages::show(const std::string& text) {
  reportError(text);
}

bool Win32Messages::askYesNo(const std::string& text, const std::string& caption, Default preselected) {
  const UINT button = preselected == Default::No ? MB_DEFBUTTON2 : MB_DEFBUTTON1;
  return ::MessageBoxW(owner_.hwnd(), widenShown(text).c_str(), widenShown(caption).c_str(),
                       MB_YESNO | button) == IDYES;
}

void Win32Messages::beep() {
  ::MessageBeep(0);
}

} // namespace glimor::win32
