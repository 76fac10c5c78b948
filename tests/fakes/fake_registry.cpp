#include "fakes/fake_registry.h"

namespace glimor::fakes {
namespace {

class FakeKey final : public platform::RegistryKey {
public:
  FakeKey(FakeRegistry& registry, FakeRegistry::Hive& hive) : registry_(registry), hive_(hive) {}
  bool open(const std::string& path) override {
    ++registry_.opens;
    if (hive_.denied || hive_.readOnly) return false;
    hive_.keys[path];
    current_ = path;
    writable_ = true;
    return true;
  }
  bool openToRead(const std::string& path) override {
    if (hive_.denied || !hive_.keys.count(path)) return false;
    current_ = path;
    writable_ = false;
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
    if (!values() || !writable_ || hive_.writeFails) throw Error("Failed to set data for '" + name + "'");
    (*values())[name] = {data, true};
  }
  bool deleteValue(const std::string& name) override {
    return values() && writable_ && values()->erase(name) == 1;
  }
  void close() override {}

private:
  std::map<std::string, FakeRegistry::Value>* values() {
    if (current_.empty()) return nullptr;
    return &hive_.keys[current_];
  }
  FakeRegistry& registry_;
  FakeRegistry::Hive& hive_;
  std::string current_;
  bool writable_ = false;
};

} // namespace

std::unique_ptr<platform::RegistryKey> FakeRegistry::localMachine() {
  return std::make_unique<FakeKey>(*this, machine);
}

std::unique_ptr<platform::RegistryKey> FakeRegistry::currentUser() {
  return std::make_unique<FakeKey>(*this, user);
}

} // namespace glimor::fakes
