#pragma once
#include "browser_sessions.h"
#include "http_types.h"

#include <optional>
#include <string_view>

namespace glimor::server {

struct Service;

inline constexpr std::string_view sessionCookieName = "glimor_session";

// The browser session the request's cookie names, while its token is still valid.
std::optional<BrowserSession> sessionOf(Service& service, const Request& request);

// True unless the browser says the form came from another site: its Origin,
// or its Referer where it sends none, is this service as its public URL or
// the Host it was asked under names it. A client that sends neither is left
// to the form's value.
bool postedFromHere(const Service& service, const Request& request);

} // namespace glimor::server
