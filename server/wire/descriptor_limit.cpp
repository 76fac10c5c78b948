#include "descriptor_limit.h"

#include <algorithm>
#include <sys/resource.h>

namespace glimor::server {

std::size_t raiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
  if (limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  return limit.rlim_cur == RLIM_INFINITY ? std::size_t(1) << 20 : static_cast<std::size_t>(limit.rlim_cur);
}

std::size_t connectionsWithin(std::size_t descriptors, std::size_t reserve) {
  // Each connection may also hold the file it sends.
  return std::max<std::size_t>((descriptors > reserve ? descriptors - reserve : 0) / 2, 1);
}

} // namespace glimor::server
