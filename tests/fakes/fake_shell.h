#pragma once
#include "fakes/fake_files.h"
#include "platform/shell.h"

#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace glimor::fakes {

// Works on a FakeFiles so copies and renames are visible as file contents.
class FakeShell final : public platform::Shell {
public:
  explicit FakeShell(FakeFiles& files) : files_(files) {}
  bool windowExists(const std::string& title) override {
    ++searches;
    for (const auto& w : windows)
      if (equalIgnoringCase(w, title)) return true;
    return false;
  }
  bool copyFile(const std::string& from, const std::string& to) override {
    log.push_back("copy " + from + " > " + to);
    if (copyFails || !files_.contents.count(from)) return false;
    files_.contents[to] = files_.contents[from];
    return true;
  }
  bool moveFileReplacing(const std::string& from, const std::string& to) override {
    log.push_back("move " + from + " > " + to);
    if (moveFails || !files_.contents.count(from)) return false;
    files_.contents[to] = files_.contents[from];
    files_.contents.erase(from);
    return true;
  }
  void execute(const std::string& path, const std::string& parameters) override {
    log.push_back("run " + path + " " + parameters);
  }
  void sleep(unsigned ms) override { log.push_back("sleep " + std::to_string(ms)); }

  std::vector<std::string> windows;
  std::vector<std::string> log;
  bool copyFails = false, moveFails = false;
  int searches = 0;

private:
  static bool equalIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
        return false;
    return true;
  }
  FakeFiles& files_;
};

} // namespace glimor::fakes
