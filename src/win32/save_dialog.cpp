#include "win32/save_dialog.h"

#include <commdlg.h>
#include <shlobj.h>

namespace glimor::win32 {

namespace {

// The user's Pictures folder, or `fallback` where the user has none.
std::string picturesFolderOr(const std::string& fallback) {
  char folder[MAX_PATH] = {};
  if (::SHGetFolderPathA(nullptr, CSIDL_MYPICTURES, nullptr, SHGFP_TYPE_CURRENT, folder) == S_OK && folder[0])
    return folder;
  return fallback;
}

} // namespace

std::optional<std::string> Win32SaveDialog::ask(const platform::SaveDialogSetup& setup) {
  // "a|b|c|d" becomes "a\0b\0c\0d\0\0", as the dialog wants its filter.
  std::string filter = setup.filter;
  for (char& c : filter)
    if (c == '|') c = '\0';
  filter.push_back('\0');
  filter.push_back('\0');
  // The dialog appends the extension itself and wants it without "*.".
  std::string extension = setup.defaultExtension;
  if (extension.rfind("*.", 0) == 0) extension.erase(0, 2);

  char file[MAX_PATH * 2] = {};
  setup.fileName.copy(file, sizeof file - 1);
  std::string folder = picturesFolderOr(setup.fallbackFolder);
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner_.hwnd();
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = static_cast<DWORD>(setup.filterIndex);
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = setup.title.c_str();
  dialog.lpstrDefExt = extension.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
                 (setup.askBeforeOverwrite ? OFN_OVERWRITEPROMPT : 0) |
                 (setup.hideReadOnly ? OFN_HIDEREADONLY : 0) | (setup.resizable ? OFN_ENABLESIZING : 0);
  if (!::GetSaveFileNameA(&dialog)) return std::nullopt;
  return std::string(file);
}

} // namespace glimor::win32
