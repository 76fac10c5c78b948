#include "sigv4.h"

#include <algorithm>
#include <ctime>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/sha.h>

namespace glimor::server::s3 {
namespace {

std::string hex(const unsigned char* bytes, std::size_t length) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text(length * 2, '0');
  for (std::size_t i = 0; i < length; ++i) {
    text[2 * i] = digits[bytes[i] >> 4];
    text[2 * i + 1] = digits[bytes[i] & 15];
  }
  return text;
}

std::string hmac(std::string_view key, std::string_view data) {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
       reinterpret_cast<const unsigned char*>(data.data()), data.size(), out, &length);
  return std::string(reinterpret_cast<const char*>(out), length);
}

std::string lower(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return result;
}

// Leading and trailing blanks go, runs of inner blanks become one space.
std::string trimmed(std::string_view value) {
  std::string result;
  bool blank = false;
  for (char c : value) {
    if (c == ' ' || c == '\t') {
      blank = !result.empty();
      continue;
    }
    if (blank) result += ' ';
    blank = false;
    result += c;
  }
  return result;
}

std::vector<std::pair<std::string, std::string>> canonicalHeaders(const SignedRequest& request) {
  std::vector<std::pair<std::string, std::string>> headers;
  for (const auto& [name, value] : request.headers) {
    std::string key = lower(name);
    auto same = std::find_if(headers.begin(), headers.end(), [&](const auto& h) { return h.first == key; });
    if (same != headers.end())
      same->second += "," + trimmed(value); // repeated headers: values in order, comma-joined
    else
      headers.emplace_back(key, trimmed(value));
  }
  std::sort(headers.begin(), headers.end());
  return headers;
}

std::string signedHeaderNames(const std::vector<std::pair<std::string, std::string>>& headers) {
  std::string names;
  for (const auto& header : headers) names += (names.empty() ? "" : ";") + header.first;
  return names;
}

std::string scope(const SigningContext& context) {
  return context.timestamp.substr(0, 8) + "/" + context.region + "/" + context.service + "/aws4_request";
}

} // namespace

std::string sha256HexOf(std::string_view bytes) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
  return hex(digest, sizeof digest);
}

std::string uriEncode(std::string_view text, bool keepSlash) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string encoded;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || (keepSlash && c == '/')) {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += digits[c >> 4];
      encoded += digits[c & 15];
    }
  }
  return encoded;
}

std::string canonicalRequest(const SignedRequest& request) {
  std::vector<std::pair<std::string, std::string>> query;
  for (const auto& [name, value] : request.query) query.emplace_back(uriEncode(name), uriEncode(value));
  std::sort(query.begin(), query.end());
  std::string text = request.method + "\n" + (request.path.empty() ? "/" : request.path) + "\n";
  for (std::size_t i = 0; i < query.size(); ++i)
    text += (i ? "&" : "") + query[i].first + "=" + query[i].second;
  text += "\n";
  auto headers = canonicalHeaders(request);
  for (const auto& [name, value] : headers) text += name + ":" + value + "\n";
  text += "\n" + signedHeaderNames(headers) + "\n" + request.payloadHash;
  return text;
}

std::string stringToSign(const SigningContext& context, std::string_view canonical) {
  return "AWS4-HMAC-SHA256\n" + context.timestamp + "\n" + scope(context) + "\n" + sha256HexOf(canonical);
}

std::string signature(const SigningContext& context, std::string_view toSign) {
  std::string key = hmac("AWS4" + context.credentials.secretKey, context.timestamp.substr(0, 8));
  key = hmac(key, context.region);
  key = hmac(key, context.service);
  key = hmac(key, "aws4_request");
  std::string signed_ = hmac(key, toSign);
  return hex(reinterpret_cast<const unsigned char*>(signed_.data()), signed_.size());
}

std::string authorization(const SigningContext& context, const SignedRequest& request) {
  std::string canonical = canonicalRequest(request);
  return "AWS4-HMAC-SHA256 Credential=" + context.credentials.accessKey + "/" + scope(context) +
         ", SignedHeaders=" + signedHeaderNames(canonicalHeaders(request)) +
         ", Signature=" + signature(context, stringToSign(context, canonical));
}

std::string presignedQuery(const SigningContext& context, SignedRequest request, unsigned expiresSeconds) {
  request.query.emplace_back("X-Amz-Algorithm", "AWS4-HMAC-SHA256");
  request.query.emplace_back("X-Amz-Credential", context.credentials.accessKey + "/" + scope(context));
  request.query.emplace_back("X-Amz-Date", context.timestamp);
  request.query.emplace_back("X-Amz-Expires", std::to_string(expiresSeconds));
  request.query.emplace_back("X-Amz-SignedHeaders", signedHeaderNames(canonicalHeaders(request)));
  request.payloadHash = "UNSIGNED-PAYLOAD";
  std::string sig = signature(context, stringToSign(context, canonicalRequest(request)));
  std::string query;
  for (const auto& [name, value] : request.query)
    query += (query.empty() ? "" : "&") + uriEncode(name) + "=" + uriEncode(value);
  return query + "&X-Amz-Signature=" + sig;
}

std::string amzTimestamp(std::int64_t secondsSince1970) {
  std::time_t time = static_cast<std::time_t>(secondsSince1970);
  std::tm utc{};
  gmtime_r(&time, &utc);
  char text[20];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
  return text;
}

} // namespace glimor::server::s3
