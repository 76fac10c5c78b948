#include "win32/uploader_dialog.h"

#include <commdlg.h>

namespace glimor::win32 {

std::optional<std::string> askUploaderFile(HWND owner, const std::string& folder) {
  static constexpr char filter[] = "Uploader files (*.sxcu)\0*.sxcu\0All files (*.*)\0*.*\0";
  char file[MAX_PATH * 2] = {};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = "Upload by an uploader file";
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
  if (!::GetOpenFileNameA(&dialog)) return std::nullopt;
  return std::string(file);
}

} // namespace glimor::win32
