#pragma once
#include "platform/ini_keys.h"
#include "platform/profile.h"

#include <optional>
#include <string>
#include <string_view>

namespace glimor::app {

// Glimor.ini, read and written by the keys of platform/ini_keys.h; the service's keys, whose
// values are checked and resolved, have their own calls.
class Settings {
public:
  explicit Settings(platform::Profile& profile) : profile_(profile) {}

  template <typename Key> auto read(const Key& key) { return platform::ini::read(profile_, key); }
  // Each write goes straight to the file; throws Error("Unable to write to <path>").
  template <typename Key, typename Value> void write(const Key& key, const Value& value) {
    platform::ini::write(profile_, key, value);
  }

  // The image service's host ("https://host[:port]", "http://host[:port]" or "host[:port]"),
  // "localhost:8080" unless set.
  std::string serviceHost();
  // [Service] CACertificate: one more trust anchor for the service's certificate, a PEM or DER
  // file; a relative path is taken inside `programFolder`. Empty when not set.
  std::string serviceCaCertificate(const std::string& programFolder);

  // [Service] Uploader: the uploader file that uploads go by instead of the image service; a
  // relative path is taken inside `programFolder`. Empty when not set.
  std::string serviceUploader(const std::string& programFolder);
  // Stores the uploader file's path as chosen (empty: uploads go to the image service again).
  void setServiceUploader(const std::string& path);

  // [Service] Link: true for "Page" (the upload's page is copied), false for "Direct" or none
  // (the image's own link). Any other value throws Error saying which are meant.
  bool servicePageLink();

  // [Service] Token: the upload token sent with uploads and feedback; empty when not set.
  std::string serviceToken();
  // Stores a new upload token (empty: none). A token that could not be sent as it is, or that
  // would not be read back whole, throws Error with the reason and leaves the file as it was.
  void setServiceToken(const std::string& token);

  // The update key's text, [Update] PublicKey, or `builtIn` when that is not set.
  std::string updatePublicKey(std::string_view builtIn);

private:
  platform::Profile& profile_;
};

} // namespace glimor::app
