#pragma once
#include "http/http_client.h"
#include "net/endpoints.h"
#include "platform/socket.h"
#include "platform/tls.h"

#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace glimor::net {

// What both client objects announce; they differ only in the Content-Type.
http::ClientConfig uploadClientConfig();
http::ClientConfig contactClientConfig();

// Where Glimor.exe's user sets the upload token, said after a refusal for want of one.
inline constexpr std::string_view tokenOnOptionsPage = "Set the upload token on the Options page.";

// The [Service] settings that one exchange runs under.
struct ServiceSettings {
  std::string host = std::string(defaultServiceHost); // "https://host[:port]", "http://..." or "host[:port]"
  std::string token{};                                // sent with uploads and feedback; empty for none
  std::string caCertificate{}; // one more trust anchor for an https service: a full path, empty for none
  // An uploader file (full path) that says where and how uploads go instead; empty for the service.
  std::string uploaderFile{};
  // [Options] CopyImage: a published capture leaves its picture on the clipboard, not its link.
  bool copyPicture = false;
  // [Service] Link=Page: the link copied is the upload's page ("Page: " in the answer), where
  // chats show a preview; else, and from a service that names no page, the image's own link.
  bool pageLink = false;

  ServiceEndpoints endpoints() const { return ServiceEndpoints(host); }
};

// The image service as Glimor.exe and glimor-cli reach it: its addresses and the client objects,
// `HTTP` for uploads, `contactHTTP` for the feedback form and `deletionHTTP` for deletion links,
// each with its own cookies for the whole run.
//
// The settings are read afresh whenever an exchange begins (`settings()`, by whoever starts it)
// and that copy goes with the exchange: a changed host, token or certificate counts from the
// next exchange and never changes one under way. Each client object runs one exchange at a time.
class ServiceClients {
public:
  using SettingsSource = std::function<ServiceSettings()>;

  // `tls`: how https is reached (none: https fails). `tokenPlace`: where the user sets the token,
  // said after a refusal for want of one.
  ServiceClients(platform::Network& network, platform::Tls* tls, SettingsSource settings,
                 std::string tokenPlace, http::Limits limits = {});

  ServiceSettings settings() const { return settings_(); }
  ServiceEndpoints endpoints() const { return settings().endpoints(); }

  // The client object made ready for one exchange under `settings`: its trust anchor, and for
  // uploads and feedback its token, which is checked here (before any connection): one that
  // cannot go on the wire throws Error(invalidTokenText). Deletion links carry their own secret,
  // so the token never goes to whatever address an answer named.
  http::HttpClient& upload(const ServiceSettings& settings);
  http::HttpClient& contact(const ServiceSettings& settings);
  http::HttpClient& deletion(const ServiceSettings& settings);
  // The upload client for a service that an uploader file names: with the trust anchor but
  // without the token, which belongs to the image service alone (the file brings its own headers).
  http::HttpClient& uploadByFile(const ServiceSettings& settings);
  // Calls off the upload under way, from any thread (see HttpClient::cancel), and readies the
  // upload client for the next one.
  void cancelUpload() { HTTP.cancel(); }
  void resetUploadCancel() { HTTP.resetCancel(); }

  // What a failed exchange shows: a refusal for want of a token (401) in the service's words,
  // followed by where the token is set; anything else as it is.
  std::string failureText(const std::exception& error) const;
  const std::string& tokenPlace() const { return tokenPlace_; }

private:
  SettingsSource settings_;
  std::string tokenPlace_;
  http::HttpClient HTTP, contactHTTP, deletionHTTP;
};

// A refusal for want of a token, or of a valid one: the 401 of an upload or a feedback.
bool isTokenRefusal(const std::exception& error);

} // namespace glimor::net
