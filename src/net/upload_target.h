#pragma once
#include "net/service_clients.h"
#include "platform/files.h"

#include <functional>
#include <string>
#include <string_view>

namespace glimor::net {

// Where uploads go, as the window shows it: `line` on the Options page ("Upload to: ..."), and
// `destination` in the help of the links page ("Your pictures go to ...").
class UploadTargetView {
public:
  virtual ~UploadTargetView() = default;
  virtual void showUploadTarget(const std::string& line, const std::string& destination) = 0;
};

inline constexpr std::string_view uploadToLabel = "Upload to: ";

// Where uploads go, as the Options page shows it and lets the user choose: the image service, or
// the service that an uploader file describes.
class UploadTarget {
public:
  // `store` keeps the chosen path as [Service] Uploader (empty: none); it throws Error when the
  // setting cannot be written.
  using StorePath = std::function<void(const std::string& path)>;

  UploadTarget(platform::Files& files, ServiceClients::SettingsSource settings, StorePath store,
               UploadTargetView& view)
      : files_(files), settings_(std::move(settings)), store_(std::move(store)), view_(view) {}

  // Shows where uploads go now: the uploader file's Name (its file name when it has none), a file
  // that cannot be used as such, or the image service's host.
  void show();
  // A file the user picked: taken only when it can be used; a refused one throws Error with the
  // reason and leaves the setting as it was. Empty: uploads go to the image service again.
  void choose(const std::string& path);

private:
  platform::Files& files_;
  ServiceClients::SettingsSource settings_;
  StorePath store_;
  UploadTargetView& view_;
};

} // namespace glimor::net
