#pragma once
#include <stdexcept>
#include <string>

namespace glimor {

// Every failure the user may see is an exception carrying the exact message text
// that the program shows (in a message box or a status line).
class Error : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

} // namespace glimor
