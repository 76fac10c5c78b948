#pragma once
#include <string>
#include <string_view>

namespace glimor::net {

// The index-th field (from 1) of `text` split at `separator` (case-sensitive, occurrences never
// overlap): the text between occurrence index-1 and occurrence index, where one occurrence is
// taken to follow the text. Empty when there are fewer fields. Used for the upload answer's
// link and for cutting the browser command apart.
std::string fieldAfter(std::string_view text, int index, std::string_view separator);

} // namespace glimor::net
