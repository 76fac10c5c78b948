#pragma once
#include "platform/profile.h"

#include <map>
#include <utility>

namespace glimor::fakes {

class FakeProfile final : public platform::Profile {
public:
  const std::string& path() const override { return file; }
  std::optional<std::string> read(const std::string& section, const std::string& key) override {
    auto it = values.find({section, key});
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  bool write(const std::string& section, const std::string& key, const std::string& value) override {
    if (readOnly) return false;
    values[{section, key}] = value;
    ++writes;
    return true;
  }

  std::string file = "C:\\Apps\\Glimor.ini";
  std::map<std::pair<std::string, std::string>, std::string> values;
  bool readOnly = false;
  int writes = 0;
};

} // namespace glimor::fakes
