#pragma once
#include "file_reader.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace glimor::server {

// The program's self-update files, kept in the --updates folder: the version
// file "newglimor.txt" (line 1 the new executable's URL, line 2 its file name,
// line 3 its version) and the executable that line 1 names. Both are read at
// each request, so replacing them needs no restart.
class UpdateFiles {
public:
  explicit UpdateFiles(std::optional<std::filesystem::path> folder) : folder_(std::move(folder)) {}

  std::optional<std::string> versionFile() const;

  // The file for the request path `path` ("/Glimor2.exe"), served only when the
  // version file's URL names exactly that path and it is a plain file name in
  // the folder; nothing otherwise. It is read while it is sent.
  std::shared_ptr<FileReader> executable(std::string_view path) const;

private:
  std::optional<std::filesystem::path> folder_;
};

// The path part of an absolute URL ("http://h:1/a.exe?x" gives "/a.exe").
std::string pathOfUrl(std::string_view url);

// A name of letters, digits, '.', '-' and '_' that does not start with '.'.
bool isPlainFileName(std::string_view name);

} // namespace glimor::server
