#pragma once
#include "config.h"

#include <cstdint>
#include <string_view>

namespace glimor::server {

// Where a request goes, judged from its target alone. The one table the router,
// the admission of a request head and the server's start all read.
enum class Route {
  upload,        // /guestglimor.php
  feedback,      // /glimor/index.php?do=contact
  deletion,      // /d/ID/SECRET
  image,         // /i/ID.EXT
  thumbnail,     // /t/ID.jpg
  viewPage,      // /v/ID: an upload's page
  versionFile,   // /newglimor.txt
  homePage,      // /
  browserUpload, // /my/upload: uploads from a signed-in browser
  myPage,        // /my and its forms /my/...: the page of one's uploads
  file,          // anything else: an update executable, or 404
};

Route routeOf(std::string_view target);

// The most body bytes accepted for a request on `route`, checked before the body is read.
std::uint64_t bodyLimit(const Config& config, Route route);

// The methods a route answers, as its Allow line says them; empty for the
// page of one's uploads, whose handler decides by path. Everything else takes
// GET and HEAD only (and answers 404 to the rest).
std::string_view allowedMethods(Route route);

// Whether `method` is one of `allowed` ("GET, HEAD, POST"); an empty list allows any.
bool allowsMethod(std::string_view allowed, std::string_view method);

// The path part of a target and its query (after '?', empty without one).
std::string_view pathOf(std::string_view target);
std::string_view queryOf(std::string_view target);

} // namespace glimor::server
