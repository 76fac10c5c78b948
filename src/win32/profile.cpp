#include "win32/profile.h"

#include "os/win32/wide_text.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/ini_text.h"

namespace glimor::win32 {
namespace {

std::string fileText(const std::string& path) {
  std::optional<platform::Bytes> bytes = platform::systemFiles().read(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

} // namespace

std::optional<std::string> Win32Profile::read(const std::string& section, const std::string& key) {
  std::optional<std::string> value = platform::ini::valueOf(fileText(path_), section, key);
  // A value an earlier version wrote in the ANSI code page is taken as that.
  if (value && !isUtf8(*value)) value = narrowFromAnsi(*value);
  return value;
}

bool Win32Profile::write(const std::string& section, const std::string& key, const std::string& value) {
  std::string text = platform::ini::withValue(fileText(path_), section, key, value);
  try {
    platform::systemFiles().replace(path_, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    return true;
  } catch (const Error&) {
    return false;
  }
}

} // namespace glimor::win32
