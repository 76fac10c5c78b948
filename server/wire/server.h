#pragma once
#include "config.h"

namespace glimor::server {

// Runs the service until SIGINT or SIGTERM, then stops accepting, closes idle
// connections, lets requests in flight finish (for at most a grace period)
// and returns. Throws Error when the service cannot start.
void runServer(const Config& config);

} // namespace glimor::server
