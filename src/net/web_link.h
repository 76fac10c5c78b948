#pragma once
#include <string_view>

namespace glimor::net {

// Whether `text` can be handed on as the link to an uploaded image: an absolute http or https
// URL (scheme in any letter case) naming a host, with no space or control character anywhere,
// so a captive portal's page, a `javascript:` or `file:` text or terminal escapes never pass.
bool isWebLink(std::string_view text);

} // namespace glimor::net
