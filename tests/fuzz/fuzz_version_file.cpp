// The version file comes from the service and decides where a download is written: any bytes must
// give a verdict or the program's error, and a download is only ever named inside the program folder.
#include "net/version_file.h"
#include "platform/error.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using Verdict = glimor::net::VersionFile::Verdict;
  try {
    auto file = glimor::net::readVersionFile(std::span(data, size), "1.01");
    bool downloads = file.verdict == Verdict::NewerVersion;
    if (downloads && (file.downloadUrl.empty() || file.fileName.empty() || file.fileName == ".." ||
                      file.fileName.find_first_of("\\/:") != std::string::npos))
      __builtin_trap();
    if (downloads != glimor::net::isNewerVersion("1.01", file.version) &&
        file.verdict != Verdict::IncorrectSource && file.verdict != Verdict::IncorrectDestination)
      __builtin_trap();
    // Reading stops at the first 0x00, so nothing after it reaches a line.
    for (const std::string* line :
         {&file.downloadUrl, &file.fileName, &file.version, &file.digestLine, &file.signatureLine})
      if (line->find('\0') != std::string::npos || line->find_first_of("\r\n") != std::string::npos)
        __builtin_trap();
  } catch (const glimor::Error&) {
    // A missing line: the check ends with "Update failed.".
  }
  return 0;
}
