#pragma once
#include "net/version_file.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// An update's proof of origin. Line 4 of the version file is "SHA256 " and the executable's digest,
// line 5 is "Ed25519 " and a signature over "Glimor update" and lines 1 to 4, each followed by one
// LF. A downloaded executable is started only when the signature holds under the trusted key, line 2
// names an .exe and the file has the signed digest. Ed25519 and SHA-256 are libsodium's.
namespace glimor::net {

using UpdateKey = std::array<std::uint8_t, 32>;  // Ed25519 public key
using UpdateSeed = std::array<std::uint8_t, 32>; // Ed25519 secret seed
using Sha256 = std::array<std::uint8_t, 32>;

// The key this build trusts (CMake option GLIMOR_UPDATE_PUBLIC_KEY); empty when it has none.
std::string_view builtInUpdateKey();

// 64 hexadecimal digits, either case, as the 32 bytes of a key or a seed.
std::optional<UpdateKey> parseKeyHex(std::string_view hex);

// Why no update is started; each has a short text that fits the update status panel and a
// whole reason (the panel's tooltip, glimor-cli).
enum class UpdateRefusal {
  NoKey,
  BadKey,
  Unsigned,           // line 4 or 5 missing
  MalformedProof,     // line 4 or 5 not in its form
  WrongKey,           // the signature does not hold under the trusted key
  NotAnExecutable,    // line 2 does not end in ".exe"
  DownloadMismatch,   // the downloaded file does not have the signed digest
  ChangedBeforeStart, // it had it, but no longer when it was to be started
};
std::string_view refusalText(UpdateRefusal refusal);
std::string_view refusalReason(UpdateRefusal refusal);

// What lines 2, 4 and 5 prove: the digest the executable must have, or why it is refused.
struct UpdateOrigin {
  std::optional<UpdateRefusal> refusal;
  Sha256 digest{};
};
UpdateOrigin checkUpdateOrigin(const VersionFile& file, const UpdateKey& key);

Sha256 sha256Of(std::span<const std::uint8_t> bytes);

// Lower-case hexadecimal digits of `bytes`.
std::string hexOf(std::span<const std::uint8_t> bytes);

// The bytes that line 5 signs.
std::string signedUpdateText(const VersionFile& file);

// A new random seed, and the public key that goes with a seed.
UpdateSeed newUpdateSeed();
UpdateKey publicKeyOf(const UpdateSeed& seed);

// Sets lines 4 and 5 of `file` (lines 1 to 3 set) for `executable`, signed with `seed`.
void signUpdate(VersionFile& file, std::span<const std::uint8_t> executable, const UpdateSeed& seed);

} // namespace glimor::net
