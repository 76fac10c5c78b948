// For bench/server_load.sh only: linked into glimor-server-undecoded in place of the
// service's image check, so that the same run can measure uploads stored without
// being decoded next to the real service. Never part of glimor-server itself.
#include "image_check.h"

namespace glimor::server {

bool isCompleteImage(std::string_view, const ImageType&, std::uint64_t, ThumbnailMaker*) {
  return true;
}

} // namespace glimor::server
