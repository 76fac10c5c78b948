// Glimor.ini values as a user or another program may have left them: any text
// must give a number or the default, never a crash.
#include "platform/ini_values.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::optional<int> value = glimor::platform::ini::parseInteger(text);
  // A value that parses prints back to digits that parse to the same number.
  if (value && !(text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))) {
    std::optional<int> again = glimor::platform::ini::parseInteger(std::to_string(*value));
    if (again != value) __builtin_trap();
  }
  return 0;
}
