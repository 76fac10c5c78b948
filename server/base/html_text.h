#pragma once
#include <string>
#include <string_view>

namespace glimor::server {

// `text` safe inside HTML text and quoted attribute values: & < > " ' escaped.
std::string escapeHtml(std::string_view text);

} // namespace glimor::server
