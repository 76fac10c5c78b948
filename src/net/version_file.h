#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace glimor::net {

// What the service's version file says, read in the order the update check takes its lines.
struct VersionFile {
  enum class Verdict { IncorrectSource, IncorrectDestination, NoUpdateNeeded, NewerVersion };
  Verdict verdict;
  std::string downloadUrl;        // line 1
  std::string fileName;           // line 2, relative to the program's folder
  std::string version;            // line 3
  std::string digestLine = {};    // line 4, "SHA256 <hex>"; empty when missing
  std::string signatureLine = {}; // line 5, "Ed25519 <hex>"; empty when missing
};

// Reads the version file and compares line 3 with `programVersion`. An empty line 1, or a line 2
// that is empty or not a plain file name (a separator, a drive, "." or ".."), is
// reported before a later line is looked at; a missing line 1 to 3 throws Error. Lines 4 and 5
// (the proof of origin, see update_origin.h) are taken as they are when present.
VersionFile readVersionFile(std::span<const std::uint8_t> bytes, std::string_view programVersion);

// The five lines as the service publishes them, each ending CR LF.
std::string formatVersionFile(const VersionFile& file);

// Byte-wise comparison: the first differing byte decides by its unsigned value, and a text that
// begins the other is the smaller.
bool isNewerVersion(std::string_view programVersion, std::string_view remoteVersion);

// The text of each verdict in the update status panel.
std::string_view verdictText(VersionFile::Verdict verdict);

} // namespace glimor::net
