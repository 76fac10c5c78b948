#pragma once
#include "platform/error.h"
#include "platform/processes.h"

#include <map>
#include <vector>

namespace glimor::fakes {

// Records every start; HKEY_CLASSES_ROOT is a map of key paths to default values.
class FakeProcesses final : public platform::Processes {
public:
  struct Start {
    std::string application, commandLine;
  };
  bool start(const std::string& application, const std::string& commandLine) override {
    started.push_back({application, commandLine});
    return startSucceeds;
  }
  std::optional<std::string> classesRootDefault(const std::string& keyPath) override {
    if (defaultIsBinary) throw Error("Invalid data type for ''");
    auto it = classesRoot.find(keyPath);
    if (it == classesRoot.end()) return std::nullopt;
    return it->second;
  }

  std::map<std::string, std::string> classesRoot;
  bool defaultIsBinary = false;
  bool startSucceeds = true;
  std::vector<Start> started;
};

} // namespace glimor::fakes
