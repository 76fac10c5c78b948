#pragma once
#include "platform/error.h"
#include "platform/files.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace glimor::fakes {

// Files kept in memory. A path listed in `failing` refuses to be replaced, as a
// folder without write access would; every replace is recorded in order. A path
// in `undeletable` refuses to be removed, as a file in use would.
class FakeFiles final : public platform::Files {
public:
  std::map<std::string, platform::Bytes> contents;
  std::vector<std::string> failing;
  std::vector<std::string> replaced; // paths, in the order they were written
  std::set<std::string> undeletable;

  void replace(const std::string& path, std::span<const std::uint8_t> bytes) override;
  std::optional<platform::Bytes> read(const std::string& path) override;
  bool exists(const std::string& path) override { return contents.count(path) != 0; }
  bool remove(const std::string& path) override {
    return !undeletable.count(path) && contents.erase(path) != 0;
  }
};

} // namespace glimor::fakes
