// Arbitrary server bytes through the answer reader. The first byte picks the size of the pieces
// in which the rest arrives, so line ends and chunk sizes also fall across piece borders.
#include "http/receive_answer.h"
#include "platform/error.h"

#include <algorithm>
#include <cstring>

namespace {

class FuzzedStream final : public glimor::http::ByteStream {
public:
  FuzzedStream(const std::uint8_t* data, std::size_t size, std::size_t piece)
      : data_(data), size_(size), piece_(piece) {}

  std::optional<std::size_t> read(std::span<std::uint8_t> into, std::chrono::milliseconds) override {
    if (at_ == size_) return 0;
    std::size_t n = std::min({into.size(), size_ - at_, piece_});
    std::memcpy(into.data(), data_ + at_, n);
    at_ += n;
    return n;
  }

private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t piece_;
  std::size_t at_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  FuzzedStream stream(data + 1, size - 1, std::size_t{data[0]} + 1);
  glimor::http::Limits limits;
  limits.maxBody = 1 << 20;
  glimor::http::CookieStore cookies;
  glimor::http::AnswerHead head;
  glimor::http::Bytes body;
  try {
    glimor::http::receiveAnswer(stream, limits, cookies, "h", head, body);
  } catch (const glimor::Error&) {
  }
  if (body.size() > limits.maxBody || head.headerLines.size() > limits.maxHeaderLines) __builtin_trap();
  (void)cookies.cookieHeaderFor("h");
  return 0;
}
