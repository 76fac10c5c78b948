#include "win32/save_dialog.h"

#include "os/win32/wide_text.h"

#include <commdlg.h>
#include <shlobj.h>

namespace glimor::win32 {

namespace {

// The user's Pictures folder, or `fallback` where the user has none.
std::string picturesFolderOr(const std::string& fallback) {
  wchar_t folder[MAX_PATH] = {};
  if (::SHGetFolderPathW(nullptr, CSIDL_MYPICTURES, nullptr, SHGFP_TYPE_CURRENT, folder) == S_OK && folder[0])
    return narrow(folder);
  return fallback;
}

} // namespace

std::optional<std::string> Win32SaveDialog::ask(const platform::SaveDialogSetup& setup) {
  // "a|b|c|d" becomes "a\0b\0c\0d\0\0", as the dialog wants its filter.
  std::wstring filter = widen(setup.filter);
  for (wchar_t& c : filter)
    if (c == L'|') c = L'\0';
  filter.push_back(L'\0');
  filter.push_back(L'\0');
  // The dialog appends the extension itself and wants it without "*.".
  std::wstring extension = widen(setup.defaultExtension);
  if (extension.rfind(L"*.", 0) == 0) extension.erase(0, 2);

  wchar_t file[MAX_PATH * 2] = {};
  widen(setup.fileName).copy(file, MAX_PATH * 2 - 1);
  const std::wstring folder = widen(picturesFolderOr(setup.fallbackFolder));
  const std::wstring title = widenShown(setup.title);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner_.hwnd();
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = static_cast<DWORD>(setup.filterIndex);
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH * 2;
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = extension.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
                 (setup.askBeforeOverwrite ? OFN_OVERWRITEPROMPT : 0) |
                 (setup.hideReadOnly ? OFN_HIDEREADONLY : 0) | (setup.resizable ? OFN_ENABLESIZING : 0);
  if (!::GetSaveFileNameW(&dialog)) return std::nullopt;
  return narrow(file);
}

} // namespace glimor::win32
