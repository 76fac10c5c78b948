#include "update_files.h"

#include "durable_file.h"

#include <algorithm>
#include <cctype>

namespace glimor::server {
namespace {

constexpr std::string_view versionFileName = "newglimor.txt";

std::string_view firstLine(std::string_view text) {
  return text.substr(0, text.find_first_of("\r\n"));
}

} // namespace

std::string pathOfUrl(std::string_view url) {
  std::size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return {};
  std::string_view rest = url.substr(scheme + 3);
  std::size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return "/";
  rest = rest.substr(slash);
  return std::string(rest.substr(0, rest.find_first_of("?#")));
}

bool isPlainFileName(std::string_view name) {
  if (name.empty() || name.size() > 255 || name.front() == '.') return false;
  return std::all_of(name.begin(), name.end(),
                     [](unsigned char c) { return std::isalnum(c) || c == '.' || c == '-' || c == '_'; });
}

std::optional<std::string> UpdateFiles::versionFile() const {
  if (!folder_) return std::nullopt;
  return readWholeFile(*folder_ / versionFileName);
}

std::shared_ptr<FileReader> UpdateFiles::executable(std::string_view path) const {
  if (!path.starts_with('/')) return nullptr;
  std::string_view name = path.substr(1);
  if (!isPlainFileName(name) || name == versionFileName) return nullptr;
  auto version = versionFile();
  if (!version || pathOfUrl(firstLine(*version)) != path) return nullptr;
  return FileReader::open(*folder_ / name);
}

} // namespace glimor::server
