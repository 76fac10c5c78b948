#pragma once
#include "browser_sessions.h"

#include <string>
#include <string_view>

namespace glimor::server {

// The form that uploads from a signed-in browser (to /my/upload). Without a
// script it posts the files chosen with its picker and the answer is a page of
// their links; its script (the page's one, allowed by its hash) uploads each
// file on its own with a progress bar, also files dropped on the form or
// pasted (Ctrl+V), and ends each in its link and page with copy buttons.
std::string uploadForm(const BrowserSession& session);

extern const std::string_view uploadFormStyle;
extern const std::string_view uploadFormScript;

} // namespace glimor::server
