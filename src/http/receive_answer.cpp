#include "http/receive_answer.h"

#include "http/refusal_text.h"
#include "platform/error.h"
#include "platform/socket.h"

#include <algorithm>
#include <limits>

namespace glimor::http {
namespace {

// Thrown when an answer body would outgrow Limits::maxBody.
class BodyTooLarge : public Error {
public:
  explicit BodyTooLarge(std::uint64_t limit)
      : Error("The answer is larger than " + std::to_string(limit) + " bytes.") {}
};

// Thrown when the connection ends before the body it announced is whole: what came is no answer.
class AnswerCutOff : public Error {
public:
  AnswerCutOff() : Error(std::string(platform::cutOffText)) {}
};

// What is left of the header allowance of one answer (all its header blocks together).
struct HeaderBudget {
  std::size_t lines;
  std::size_t bytes;

  void charge(std::size_t lineLength) {
    if (lines == 0 || lineLength + 2 > bytes) throw Error("Header block too large.");
    --lines;
    bytes -= lineLength + 2;
  }
};

void readHeaderBlock(StreamReader& reader, const Limits& limits, HeaderBudget& budget, AnswerHead& head) {
  std::optional<std::string> status = reader.readLine(limits.maxLine);
  if (!status) throw Error("Connection Closed Gracefully.");
  budget.charge(status->size());
  head = AnswerHead{};
  head.statusCode = statusCodeOf(*status);
  head.statusLine = std::move(*status);
  for (;;) {
    std::optional<std::string> line = reader.readLine(limits.maxLine);
    if (!line) {
      head.closedInHeader = true;
      return;
    }
    if (line->empty()) return;
    budget.charge(line->size());
    head.headerLines.push_back(std::move(*line));
  }
}

// A decimal Content-Length; nothing when absent or not a number. Too large a number saturates,
// so it fails the body limit instead of wrapping around.
std::optional<std::uint64_t> contentLength(const AnswerHead& head) {
  std::optional<std::string> text = head.header("Content-Length");
  if (!text || text->empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : *text) {
    if (c < '0' || c > '9') return std::nullopt;
    std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
    value = value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10
                ? std::numeric_limits<std::uint64_t>::max()
                : value * 10 + digit;
  }
  return value;
}

// The hexadecimal number before the line's first space; 0 when that text is not one.
std::uint64_t chunkSize(std::string_view line) {
  std::string_view text = line.substr(0, line.find(' '));
  if (text.empty()) return 0;
  std::uint64_t value = 0;
  for (char c : text) {
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0) return 0;
    value = value > (std::numeric_limits<std::uint64_t>::max() >> 4)
                ? std::numeric_limits<std::uint64_t>::max()
                : value << 4 | static_cast<std::uint64_t>(digit);
  }
  return value;
}

template <typename Take>
void readBody(StreamReader& reader, const AnswerHead& head, const Limits& limits, Take&& take) {
  if (std::optional<std::uint64_t> length = contentLength(head)) {
    if (*length > limits.maxBody) throw BodyTooLarge(limits.maxBody);
    if (reader.read(*length, take) < *length) throw AnswerCutOff();
    return;
  }
  std::optional<std::string> encoding = head.header("Transfer-Encoding");
  if (encoding && encoding->find("chunked") != std::string::npos) {
    std::uint64_t total = 0;
    for (;;) {
      std::optional<std::string> sizeLine = reader.readLine(limits.maxLine);
      if (!sizeLine) throw AnswerCutOff(); // closed before the last chunk
      std::uint64_t size = chunkSize(*sizeLine);
      if (size == 0) break;
      if (size > limits.maxBody - total) throw BodyTooLarge(limits.maxBody);
      if (reader.read(size, take) < size) throw AnswerCutOff();
      total += size;
      if (!reader.readLine(limits.maxLine)) throw AnswerCutOff(); // the line end after the chunk
    }
    reader.readLine(limits.maxLine); // the line after the last chunk
    return;
  }
  std::uint64_t total = 0;
  reader.read(std::numeric_limits<std::uint64_t>::max(), [&](const std::uint8_t* bytes, std::size_t n) {
    total += n;
    if (total > limits.maxBody) throw BodyTooLarge(limits.maxBody);
    take(bytes, n);
  });
}

void storeCookies(const AnswerHead& head, CookieStore& cookies, std::string_view host) {
  for (const char* name : {"Set-cookie", "Set-cookie2"})
    for (const std::string& value : head.headers(name)) cookies.store(host, value);
}

} // namespace

void receiveAnswer(ByteStream& stream, const Limits& limits, CookieStore& cookies, std::string_view host,
                   AnswerHead& head, Bytes& body, Bytes* refusedBody) {
  StreamReader reader(stream, limits.readIdle);
  HeaderBudget budget{limits.maxHeaderLines, limits.maxHeaderBytes};
  do {
    readHeaderBlock(reader, limits, budget, head);
    storeCookies(head, cookies, host);
  } while (head.statusCode == 100);

  const int code = head.statusCode;
  std::optional<std::string> location = head.header("Location");
  bool redirect = (code >= 300 && code <= 399 && code != 304) || (location && !location->empty());
  if (redirect || code < 200 || code > 299) {
    // Not followed and not shown: the body is drained so the failure names the status line,
    // or, for a refusal that says why, the service's own words.
    const bool explained = !redirect && saysWhyItRefuses(code);
    std::string bodyStart;
    reader.setWait(limits.discardIdle);
    try {
      readBody(reader, head, limits, [&](const std::uint8_t* bytes, std::size_t n) {
        if (refusedBody && !redirect && refusedBody->size() < refusedBodyKept)
          refusedBody->insert(refusedBody->end(), bytes,
                              bytes + std::min(n, refusedBodyKept - refusedBody->size()));
        if (!explained || bodyStart.size() > refusalTextLimit) return;
        bodyStart.append(reinterpret_cast<const char*>(bytes), std::min(n, refusalTextLimit + 1));
      });
    } catch (const BodyTooLarge&) {
    } catch (const Error& error) {
      if (error.what() != platform::cutOffText) throw; // a body cut short still names the status
    }
    if (explained) throw Refusal(code, refusalText(head.statusLine, bodyStart));
    throw Error(head.statusLine);
  }
  if (head.closedInHeader) throw Error("Undefined situation");
  if (code == 204) return;
  readBody(reader, head, limits,
           [&body](const std::uint8_t* bytes, std::size_t n) { body.insert(body.end(), bytes, bytes + n); });
}

} // namespace glimor::http
