#pragma once
#include <span>
#include <string_view>

namespace glimor::server {

// glimor-server admin list | purge | delete: the operator's view of the stored
// images, on the store of --data or --database, also while the service runs on
// it. Returns the exit status: 0 done, 1 failed, 2 a usage error.
int runAdminCommand(std::span<const std::string_view> arguments);

} // namespace glimor::server
