#include "platform/paths.h"

namespace glimor::paths {
namespace {

// Index just past the last folder separator or drive colon, 0 when there is none.
std::size_t fileNameStart(std::string_view path) {
  std::size_t at = path.find_last_of("\\/:");
  return at == std::string_view::npos ? 0 : at + 1;
}

std::size_t extensionStart(std::string_view path) {
  std::size_t name = fileNameStart(path);
  std::size_t dot = path.rfind('.');
  return dot == std::string_view::npos || dot < name ? path.size() : dot;
}

} // namespace

std::string folderOf(std::string_view path) {
  return std::string(path.substr(0, fileNameStart(path)));
}

std::string fileNameOf(std::string_view path) {
  return std::string(path.substr(fileNameStart(path)));
}

std::string extensionOf(std::string_view path) {
  return std::string(path.substr(extensionStart(path)));
}

std::string changeExtension(std::string_view path, std::string_view extension) {
  std::string result(path.substr(0, extensionStart(path)));
  result += extension;
  return result;
}

std::string resolveIn(std::string_view folder, std::string_view path) {
  bool absolute = path.starts_with('\\') || path.starts_with('/') || (path.size() > 1 && path[1] == ':');
  return absolute ? std::string(path) : std::string(folder) + std::string(path);
}

} // namespace glimor::paths
