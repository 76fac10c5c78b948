#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace glimor::server::s3 {

// An access key pair of the object store; the secret never leaves this process.
struct Credentials {
  std::string accessKey;
  std::string secretKey;
};

// What a Signature Version 4 signature covers besides the request: who signs,
// for which region and service, and when (yyyymmddThhmmssZ).
struct SigningContext {
  Credentials credentials;
  std::string region = "us-east-1";
  std::string service = "s3";
  std::string timestamp;
};

// A request as it is signed. `path` is the absolute path already encoded
// (uriEncode with slashes kept); `query` holds decoded names and values;
// `headers` are the headers to sign, names in any case.
struct SignedRequest {
  std::string method;
  std::string path;
  std::vector<std::pair<std::string, std::string>> query;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string payloadHash; // hex SHA-256 of the body, or "UNSIGNED-PAYLOAD"
};

// RFC 3986 percent-encoding as the signature wants it: everything but
// A-Z a-z 0-9 - _ . ~ (and '/' when `keepSlash`) as %XX in upper case.
std::string uriEncode(std::string_view text, bool keepSlash = false);

// The canonical request: method, path, sorted query, sorted lower-case
// headers with trimmed values, the signed header names, the payload hash.
std::string canonicalRequest(const SignedRequest& request);

// "AWS4-HMAC-SHA256", the timestamp, the scope and the canonical request's hash.
std::string stringToSign(const SigningContext& context, std::string_view canonical);

// The hex signature of a string to sign, with the key derived from the
// secret, date, region and service.
std::string signature(const SigningContext& context, std::string_view toSign);

// The Authorization header's value for a request.
std::string authorization(const SigningContext& context, const SignedRequest& request);

// The query of a presigned URL for `request` (its headers signed, "host" at
// least), valid `expiresSeconds` from the context's timestamp, ending with
// X-Amz-Signature: "X-Amz-Algorithm=...&...".
std::string presignedQuery(const SigningContext& context, SignedRequest request, unsigned expiresSeconds);

// The timestamp of a moment as the signature writes it: 20130524T000000Z.
std::string amzTimestamp(std::int64_t secondsSince1970);

// Hex SHA-256 of bytes (the payload hash and the canonical request's).
std::string sha256HexOf(std::string_view bytes);

} // namespace glimor::server::s3
