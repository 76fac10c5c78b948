#include "fakes/fake_registry.h"

namespace glimor::fakes {
namespace {

class FakeKey final : public platform::RegistryKey {
public:
  explicit FakeKey(FakeRegistry& registry) : registry_(registry) {}
  bool open(const std::string& path) override {
    ++registry_.opens;
    if (registry_.denied) return false;
    registry_.keys[path];
    current_ = path;
    return true;
  }
  bool valueExists(const std::string& name) override { return values() && values()->count(name); }
  std::string readString(const std::string& name) override {
    if (!values() || !values()->count(name)) return "";
    const auto& value = values()->at(name);
    if (!value.text) throw Error("Invalid data type for '" + name + "'");
    return value.data;
  }
  void writeString(const std::string& name, const std::string& data) override {
    if (!values() || registry_.writeFails) throw Error("Failed to set data for '" + name + "'");
    (*values())[name] = {data, true};
  }
  bool deleteValue(const std::string& name) override { return values() && values()->erase(name) == 1; }
  void close() override {}

private:
  std::map<std::string, FakeRegistry::Value>* values() {
    if (current_.empty()) return nullptr;
    return &registry_.keys[current_];
  }
  FakeRegistry& registry_;
  std::string current_;
};

} // namespace

std::unique_ptr<platform::RegistryKey> FakeRegistry::localMachine() {
  return std::make_unique<FakeKey>(*this);
}

} // namespace glimor::fakes
