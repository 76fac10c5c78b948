#pragma once
#include <span>
#include <string_view>

namespace glimor::server {

// `glimor-server token add NAME | sxcu NAME FILE | list | revoke NAME` with --data DIR or
// --database URI: manages the upload tokens of that store, also while the
// service runs. Returns the exit status: 0 done, 1 failed, 2 wrong usage.
int runTokenCommand(std::span<const std::string_view> arguments);

} // namespace glimor::server
