#include "http/request_head.h"

#include "http/header_folding.h"
#include "platform/ascii_case.h"

namespace glimor::http {

std::string buildRequestHead(const ClientConfig& config, const Url& url, std::size_t bodyLength,
                             std::string_view cookies, const RequestShape& shape) {
  std::string head = shape.method + " " + url.path + url.document + url.query + " HTTP/1.0\r\n";
  auto add = [&](std::string_view name, std::string_view value) {
    if (value.empty()) return;
    for (const auto& [replacing, _] : shape.headers)
      if (ascii::equalsIgnoringCase(replacing, name)) return;
    for (const std::string& line : foldHeaderLine(std::string(name) + ": " + std::string(value)))
      head += line + "\r\n";
  };
  std::string host = url.port == url.defaultPort() ? url.host : url.host + ":" + std::to_string(url.port);

  add("Connection", config.connection);
  add("Content-Type", shape.contentType.value_or(config.contentType));
  if (shape.method != "GET" || bodyLength > 0) add("Content-Length", std::to_string(bodyLength));
  add("Cache-control", config.cacheControl);
  add("Host", host);
  add("Accept", config.accept);
  add("Accept-Encoding", config.acceptEncoding);
  add("Accept-Language", config.acceptLanguage);
  add("User-Agent", config.userAgent);
  add("Cookie", cookies);
  // Sent as written: the uploader file's checks let no line break through.
  for (const auto& [name, value] : shape.headers) head += name + ": " + value + "\r\n";
  // Never folded: a continuation line inside a credential is read as part of it, or refused.
  if (!config.bearerToken.empty()) head += "Authorization: Bearer " + config.bearerToken.text() + "\r\n";
  head += "\r\n";
  return head;
}

} // namespace glimor::http
