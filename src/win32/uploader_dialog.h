#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace glimor::win32 {

// The Open dialog for an uploader file (*.sxcu), starting in `folder`: the chosen file's full
// path, or nothing when the user cancelled.
std::optional<std::string> askUploaderFile(HWND owner, const std::string& folder);

} // namespace glimor::win32
