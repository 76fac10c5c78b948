#pragma once
#include "http/answer_head.h"
#include "http/byte_stream.h"
#include "http/cookie_store.h"
#include "http/limits.h"
#include "http/stream_reader.h"

#include <string_view>

namespace glimor::http {

// Reads one answer to a POST from `stream`: the status line and header block (again while the
// status is 100), the cookies it sets for `host`, then the body into `body` for a 2xx answer.
// `head` is filled as the answer arrives, so it is there even when this throws.
// Fails (Error) with the status line for redirects and any status outside 200 to 299 (with the
// service's own words for 401 and 429, see refusal_text.h), with
// "Connection Closed Gracefully." when no status line came, "Undefined situation" when a 2xx
// header block was cut off, and with the reader's and the limits' messages.
// The start of a refused answer's body, up to refusedBodyKept bytes, goes to `refusedBody` when given.
inline constexpr std::size_t refusedBodyKept = 64 * 1024;
void receiveAnswer(ByteStream& stream, const Limits& limits, CookieStore& cookies, std::string_view host,
                   AnswerHead& head, Bytes& body, Bytes* refusedBody = nullptr);

} // namespace glimor::http
