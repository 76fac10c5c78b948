#pragma once
#include "platform/error.h"
#include "platform/files.h"

#include <map>
#include <set>

namespace glimor::fakes {

// Files in memory; paths in `locked` can be neither replaced nor removed.
class FakeFiles final : public platform::Files {
public:
  void replace(const std::string& path, std::span<const std::uint8_t> bytes) override {
    if (locked.count(path)) throw Error("Cannot create file \"" + path + "\". Access is denied");
    contents[path] = platform::Bytes(bytes.begin(), bytes.end());
  }
  std::optional<platform::Bytes> read(const std::string& path) override {
    auto it = contents.find(path);
    if (it == contents.end()) return std::nullopt;
    return it->second;
  }
  bool exists(const std::string& path) override { return contents.count(path) > 0; }
  bool remove(const std::string& path) override {
    if (locked.count(path)) return false;
    return contents.erase(path) == 1;
  }

  std::map<std::string, platform::Bytes> contents;
  std::set<std::string> locked;
};

} // namespace glimor::fakes
