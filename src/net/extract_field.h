#pragma once
#include <string>
#include <string_view>

namespace glimor::net {

// The Index-th field (from 1) of `Text` split at `Separator` (case-sensitive, occurrences never
// overlap): the text between occurrence Index-1 and occurrence Index, where one occurrence is
// taken to follow the text. Empty when there are fewer fields. Used for the upload answer's
// link and for cutting the browser command apart.
std::string ExtractField(std::string_view Text, int Index, std::string_view Separator);

} // namespace glimor::net
