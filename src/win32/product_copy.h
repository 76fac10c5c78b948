#pragma once
#include <string>

namespace glimor::win32 {

// The program's own words about itself, shown on the first page and the About page.
std::string siteLine(const std::string& destination);
// The help text of the first page, which a first start shows: how to capture with the hot key in
// force (its name, "Alt+F2"), where to change it and "Start with Windows", where pictures go.
std::string linksPageText(const std::string& hotKeyName, const std::string& destination);
std::string aboutText();

} // namespace glimor::win32
