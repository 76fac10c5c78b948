#pragma once
#include "sigv4.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimor::server::s3 {

// Where a bucket is: "http[s]://host[:port]", the bucket's name, the region
// signed for, and whether the bucket is named in the host (virtual-host
// style) or in the path (path style).
struct BucketAddress {
  std::string endpoint;
  std::string bucket;
  std::string region = "us-east-1";
  bool virtualHost = false;
};

// An answer of the object store. `status` 0 never leaves the client.
struct Reply {
  int status = 0;
  std::string body;
  std::string etag;
  std::string contentRange;
  std::uint64_t contentLength = 0;
};

// A failed exchange: what the store answered (its status and error code), or
// why no answer came (status 0). what() is fit for the log and the client.
class S3Error : public std::runtime_error {
public:
  S3Error(int status, std::string code, const std::string& text)
      : std::runtime_error(text), status_(status), code_(std::move(code)) {}
  int status() const { return status_; }
  const std::string& code() const { return code_; }

private:
  int status_;
  std::string code_;
};

// A small S3 client over Beast: each request signed with Signature V4 (its
// payload's SHA-256 sent as x-amz-content-sha256), sent on a kept-alive
// connection of a pool, and bounded as a whole by `timeout` (connecting,
// sending and reading together). Thread-safe; connections are not shared
// between requests in flight.
class Client {
public:
  // Throws Error for an endpoint that is not http[s]://host[:port].
  Client(BucketAddress address, Credentials credentials,
         std::chrono::milliseconds timeout = std::chrono::seconds(30));
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // Stores `bytes` under `key`; throws S3Error unless the store took them.
  // `sha256` is their hex SHA-256 where the caller has it already.
  void put(std::string_view key, std::string_view bytes, std::string_view contentType,
           std::string_view sha256 = {});
  // The object, or part of it (`range` as "bytes=0-99"); nothing for 304 or a
  // missing key. Throws S3Error for any other failure.
  std::optional<Reply> get(std::string_view key, std::string_view range = {},
                           std::string_view ifNoneMatch = {});
  // The object's size; nothing for a missing key.
  std::optional<std::uint64_t> head(std::string_view key);
  // Removes the object; a missing one counts as removed.
  void remove(std::string_view key);
  // Every object whose key starts with `prefix`, a page (up to 1000) at a time.
  void list(std::string_view prefix,
            const std::function<void(std::string_view key, std::uint64_t size, std::int64_t modified)>& each);
  // Creates the bucket when it does not exist.
  void createBucket();
  // A URL for GET of the object that works without credentials for
  // `expiresSeconds` from `now` (seconds since 1970).
  std::string presignedGet(std::string_view key, unsigned expiresSeconds, std::int64_t now) const;

  // Where the bucket is, for messages: "bucket NAME at ENDPOINT".
  std::string description() const;

  struct Connection;

private:
  struct Target {
    std::string host; // as sent in Host
    std::string path; // encoded
  };
  Target target(std::string_view key) const;
  Reply send(std::string_view method, std::string_view key,
             const std::vector<std::pair<std::string, std::string>>& query, std::string_view body,
             std::vector<std::pair<std::string, std::string>> headers, std::string_view bodySha256 = {});
  S3Error failure(std::string_view what, std::string_view key, const Reply& reply) const;

  BucketAddress address_;
  Credentials credentials_;
  std::chrono::milliseconds timeout_;
  bool tls_ = false;
  std::string host_; // of the endpoint
  std::string port_;
  std::mutex idleMutex_;
  std::vector<std::unique_ptr<Connection>> idle_;
};

} // namespace glimor::server::s3
