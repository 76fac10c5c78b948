#pragma once
#include <cstddef>

namespace glimor::server {

// Raises the soft limit on open descriptors to the hard limit, as far as the
// system allows, and returns the soft limit in force.
std::size_t raiseDescriptorLimit();

// The connections a process with `descriptors` may hold while keeping
// `reserve` descriptors for the database, the log and the like, and one for
// each connection's file.
std::size_t connectionsWithin(std::size_t descriptors, std::size_t reserve);

} // namespace glimor::server
