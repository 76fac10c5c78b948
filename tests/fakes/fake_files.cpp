#include "fakes/fake_files.h"

#include <algorithm>

namespace glimor::fakes {

void FakeFiles::replace(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (std::find(failing.begin(), failing.end(), path) != failing.end())
    throw Error("Cannot create file \"" + path + "\". Access is denied.");
  contents[path].assign(bytes.begin(), bytes.end());
  replaced.push_back(path);
}

std::optional<platform::Bytes> FakeFiles::read(const std::string& path) {
  auto found = contents.find(path);
  if (found == contents.end()) return std::nullopt;
  return found->second;
}

} // namespace glimor::fakes
