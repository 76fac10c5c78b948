#include "win32/uploader_dialog.h"

#include "os/win32/wide_text.h"

#include <commdlg.h>

namespace glimor::win32 {

std::optional<std::string> askUploaderFile(HWND owner, const std::string& folder) {
  static constexpr wchar_t filter[] = L"Uploader files (*.sxcu)\0*.sxcu\0All files (*.*)\0*.*\0";
  wchar_t file[MAX_PATH * 2] = {};
  const std::wstring initialFolder = widen(folder);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH * 2;
  dialog.lpstrInitialDir = folder.empty() ? nullptr : initialFolder.c_str();
  dialog.lpstrTitle = L"Upload by an uploader file";
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
  if (!::GetOpenFileNameW(&dialog)) return std::nullopt;
  return narrow(file);
}

} // namespace glimor::win32
