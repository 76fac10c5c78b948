#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace glimor::server {

// Who made an admitted upload or feedback: the token's name, or nobody when
// the service is open and no token was given.
struct Caller {
  std::optional<std::string> tokenName;
};

// A request as the handlers see it, already read in full and within limits.
struct Request {
  std::string method; // "GET", "HEAD", "POST", ...
  std::string target; // as on the request line, e.g. "/glimor/index.php?do=contact"
  std::optional<std::string> host;
  std::string contentType;
  std::string ifNoneMatch;
  std::string range;         // the Range line, e.g. "bytes=0-499"
  std::string ifRange;       // the If-Range line
  std::string authorization; // the Authorization line, e.g. "Bearer TOKEN"
  std::string accept;        // the Accept line
  std::string cookie;        // the Cookie line
  std::string origin;        // the Origin line, e.g. "https://img.example.org"
  std::string referer;       // the Referer line
  std::string body;
  std::string clientAddress;   // "127.0.0.1", or the one a trusted proxy named
  std::string localAddress;    // "127.0.0.1:8080", where the connection arrived
  std::string scheme = "http"; // "https" when it arrived over TLS
  Caller caller;               // as admit() found it from the head

  std::string_view path() const { return std::string_view(target).substr(0, target.find('?')); }
  std::string_view query() const {
    std::size_t mark = target.find('?');
    return mark == std::string::npos ? std::string_view{} : std::string_view(target).substr(mark + 1);
  }
};

// Bytes `first` to `first + length - 1` of a body.
struct ByteRange {
  std::uint64_t first = 0;
  std::uint64_t length = 0;
};

// A body too large to hold at once, read in parts while it is sent. read()
// may wait for another machine, so it runs on the disk threads; it throws when
// the bytes cannot be read.
class BodyReader {
public:
  virtual ~BodyReader() = default;
  virtual std::uint64_t size() const = 0;
  // Up to `length` bytes from `offset`; fewer only at the end.
  virtual std::string read(std::uint64_t offset, std::size_t length) = 0;
  // An open file holding the bytes, which the kernel can send without copying
  // them through the service; -1 when the bytes come from elsewhere.
  virtual int descriptor() const { return -1; }
  // True when read() answers from memory and never waits, so it need not run
  // on the disk threads.
  virtual bool inMemory() const { return false; }
};

struct Response {
  int status = 200;
  std::string reason; // empty: the standard phrase for the status
  std::string contentType;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // Bytes shared with the image cache, sent instead of `body` without a copy.
  std::shared_ptr<const std::string> sharedBody;
  // Sent in parts instead of `body`, never held whole.
  std::shared_ptr<BodyReader> streamedBody;
  // Only this part of the body is sent (206 Partial Content).
  std::optional<ByteRange> range;

  std::string_view payload() const {
    return sharedBody ? std::string_view(*sharedBody) : std::string_view(body);
  }
  std::uint64_t payloadSize() const { return streamedBody ? streamedBody->size() : payload().size(); }
  ByteRange sentRange() const { return range ? *range : ByteRange{0, payloadSize()}; }
};

// A plain-text answer whose reason phrase and body both say what happened.
inline Response textResponse(int status, const std::string& reason) {
  Response response;
  response.status = status;
  response.reason = reason;
  response.contentType = "text/plain; charset=utf-8";
  response.body = reason + "\r\n";
  return response;
}

} // namespace glimor::server
