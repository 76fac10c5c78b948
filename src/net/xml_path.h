#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace glimor::net {

// The text of the first element at `path` in `xml`: element names from the root down, separated by
// '/' ("upload/links/original"; a leading '/' may be written). Its text and that of the elements
// inside it, entities and CDATA decoded, blanks around it removed. None when there is no such
// element or the text is not well-formed on the way to it. Throws Error for an empty step.
std::optional<std::string> xmlElementText(std::string_view xml, std::string_view path);

} // namespace glimor::net
