#include "body_streamer.h"

#include "admission.h"
#include "platform/error.h"

#include <algorithm>

namespace glimor::server {

BodyStreamer::BodyStreamer(std::shared_ptr<BodyReader> source, ByteRange range,
                           std::chrono::steady_clock::time_point start, std::chrono::seconds grace,
                           std::uint64_t minRate)
    : source_(std::move(source)), first_(range.first), next_(range.first), end_(range.first + range.length),
      deadline_(paceDeadline(start, range.length, grace, minRate)) {}

std::string BodyStreamer::readPart() {
  auto length = static_cast<std::size_t>(std::min<std::uint64_t>(partSize, end_ - next_));
  std::string part = source_->read(next_, length);
  if (part.size() != length) throw Error("the body's source ended early");
  next_ += length;
  return part;
}

} // namespace glimor::server
