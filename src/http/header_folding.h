#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace glimor::http {

// The longest request header line the client sends unbroken; longer ones are folded.
inline constexpr std::size_t foldWidth = 78;

// Folds one header line into the lines that go on the wire (without their CR LF): a line longer
// than `foldWidth` breaks after the last space, tab or comma within the width (or, lacking one,
// the first after it), never inside double quotes; each continuation begins with one space.
std::vector<std::string> foldHeaderLine(std::string_view line);

} // namespace glimor::http
