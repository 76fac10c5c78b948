#pragma once
#include <string>

namespace glimor::win32 {

// The program's own words about itself, shown on the first page and the About page.
std::string siteLine(const std::string& serviceHost);
std::string aboutText();

} // namespace glimor::win32
