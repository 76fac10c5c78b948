#include "net/version_file.h"

#include "net/text_lines.h"
#include "platform/error.h"

#include <algorithm>
#include <vector>

namespace glimor::net {

bool isNewerVersion(std::string_view programVersion, std::string_view remoteVersion) {
  return std::lexicographical_compare(
      programVersion.begin(), programVersion.end(), remoteVersion.begin(), remoteVersion.end(),
      [](char a, char b) { return static_cast<unsigned char>(a) < static_cast<unsigned char>(b); });
}

namespace {

// Line 2 names a file in the program's folder. A name that leaves that folder (a separator, a
// drive, "." or "..") would let the service write wherever it likes, so it is refused.
bool isPlainFileName(std::string_view name) {
  if (name == "." || name == "..") return false;
  return name.find_first_of("\\/:") == std::string_view::npos;
}

} // namespace

VersionFile readVersionFile(std::span<const std::uint8_t> bytes, std::string_view programVersion) {
  const std::vector<std::string> lines = readTextLines(bytes);
  auto line = [&lines](std::size_t index) -> const std::string& {
    if (index >= lines.size()) throw Error("The version file has no line " + std::to_string(index + 1) + ".");
    return lines[index];
  };
  VersionFile file{VersionFile::Verdict::IncorrectSource, line(0), {}, {}};
  if (file.downloadUrl.empty()) return file;
  file.fileName = line(1);
  if (file.fileName.empty() || !isPlainFileName(file.fileName)) {
    file.verdict = VersionFile::Verdict::IncorrectDestination;
    return file;
  }
  file.version = line(2);
  if (lines.size() > 3) file.digestLine = lines[3];
  if (lines.size() > 4) file.signatureLine = lines[4];
  file.verdict = isNewerVersion(programVersion, file.version) ? VersionFile::Verdict::NewerVersion
                                                              : VersionFile::Verdict::NoUpdateNeeded;
  return file;
}

std::string formatVersionFile(const VersionFile& file) {
  std::string text;
  for (const std::string* line :
       {&file.downloadUrl, &file.fileName, &file.version, &file.digestLine, &file.signatureLine})
    text.append(*line).append("\r\n");
  return text;
}

std::string_view verdictText(VersionFile::Verdict verdict) {
  switch (verdict) {
  case VersionFile::Verdict::IncorrectSource:
    return "Incorrect src file.";
  case VersionFile::Verdict::IncorrectDestination:
    return "Incorrect dest file.";
  case VersionFile::Verdict::NoUpdateNeeded:
    return "No updates needed.";
  case VersionFile::Verdict::NewerVersion:
    break;
  }
  return {};
}

} // namespace glimor::net
