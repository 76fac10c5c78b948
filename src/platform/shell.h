#pragma once
#include <string>

namespace glimor::platform {

// Processes and whole-file operations of the operating system.
class Shell {
public:
  virtual ~Shell() = default;
  // Whether any top-level window carries this title (in any letter case).
  virtual bool windowExists(const std::string& title) = 0;
  // Copies a file, overwriting the target.
  virtual bool copyFile(const std::string& from, const std::string& to) = 0;
  // Renames `from` over `to` in one step, replacing it.
  virtual bool moveFileReplacing(const std::string& from, const std::string& to) = 0;
  // Starts an executable with a parameter string ("open", shown normally).
  virtual void execute(const std::string& path, const std::string& parameters) = 0;
  virtual void sleep(unsigned ms) = 0;
};

} // namespace glimor::platform
