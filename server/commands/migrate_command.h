#pragma once
#include <span>
#include <string_view>

namespace glimor::server {

// `glimor-server store migrate (--to-s3 | --from-s3) STORE --s3 ... [--jobs N]`:
// moves the images of a store into its bucket, or back, one image at a time
// (its bytes copied, then its record switched, then the old copy removed), so
// the service may run meanwhile and an interrupted run is resumed by the next.
// Returns the exit status.
int runStoreMigrateCommand(std::span<const std::string_view> arguments);

} // namespace glimor::server
