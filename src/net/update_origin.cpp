#include "net/update_origin.h"

#include "platform/ascii_case.h"
#include "platform/error.h"

#include <sodium.h>

#include <algorithm>

#ifndef GLIMOR_UPDATE_PUBLIC_KEY
#define GLIMOR_UPDATE_PUBLIC_KEY ""
#endif

namespace glimor::net {
namespace {

constexpr std::string_view signedPrefix = "Glimor update\n";
constexpr std::string_view digestPrefix = "SHA256 ";
constexpr std::string_view signaturePrefix = "Ed25519 ";

using Signature = std::array<std::uint8_t, crypto_sign_BYTES>;
static_assert(sizeof(UpdateKey) == crypto_sign_PUBLICKEYBYTES &&
              sizeof(UpdateSeed) == crypto_sign_SEEDBYTES && sizeof(Sha256) == crypto_hash_sha256_BYTES);

void startSodium() {
  // Safe to call again and from several threads; it only picks the fastest code once.
  if (sodium_init() < 0) throw Error("The cryptography library could not start.");
}

bool isHexDigit(char c, bool upperAllowed) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (upperAllowed && c >= 'A' && c <= 'F');
}

// sodium_hex2bin takes either case and stops at the first non-digit, so the text is checked first.
template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> parseHex(std::string_view hex, bool upperAllowed) {
  if (hex.size() != 2 * N ||
      !std::all_of(hex.begin(), hex.end(), [=](char c) { return isHexDigit(c, upperAllowed); }))
    return std::nullopt;
  std::array<std::uint8_t, N> bytes;
  std::size_t length = 0;
  if (sodium_hex2bin(bytes.data(), N, hex.data(), hex.size(), nullptr, &length, nullptr) != 0 || length != N)
    return std::nullopt;
  return bytes;
}

// The digits after `prefix`, in lower case only: one spelling for each proof.
template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> parseProofLine(std::string_view line, std::string_view prefix) {
  if (!line.starts_with(prefix)) return std::nullopt;
  return parseHex<N>(line.substr(prefix.size()), false);
}

bool endsInExe(std::string_view name) {
  return name.size() > 4 && ascii::endsWithIgnoringCase(name, ".exe");
}

struct RefusalTexts {
  std::string_view text;   // short enough for the status panel
  std::string_view reason; // the whole story
};

RefusalTexts textsOf(UpdateRefusal refusal) {
  switch (refusal) {
  case UpdateRefusal::NoKey:
    return {"Updates off in this build.",
            "Updates are off: this build of Glimor has no key to tell a genuine update from a forged "
            "one, and Glimor.ini names none ([Update] PublicKey)."};
  case UpdateRefusal::BadKey:
    return {"Updates off: Glimor.ini.",
            "Updates are off: the update key in Glimor.ini ([Update] PublicKey) is not 64 hex digits."};
  case UpdateRefusal::Unsigned:
    return {"Refused: not signed.", "Update refused: the version file is not signed."};
  case UpdateRefusal::MalformedProof:
    return {"Refused: bad signature.", "Update refused: the version file's signature lines are malformed."};
  case UpdateRefusal::WrongKey:
    return {"Refused: wrong key.", "Update refused: not signed by the update key."};
  case UpdateRefusal::NotAnExecutable:
    return {"Refused: not an .exe.", "Update refused: the new file's name does not end in .exe."};
  case UpdateRefusal::DownloadMismatch:
    return {"Refused: bad download.", "Update refused: the download does not match its signature."};
  case UpdateRefusal::ChangedBeforeStart:
    return {"Refused: file changed.", "Update refused: the download changed before it was started."};
  }
  return {};
}

} // namespace

std::string_view builtInUpdateKey() {
  return GLIMOR_UPDATE_PUBLIC_KEY;
}

std::optional<UpdateKey> parseKeyHex(std::string_view hex) {
  return parseHex<32>(hex, true);
}

std::string_view refusalText(UpdateRefusal refusal) {
  return textsOf(refusal).text;
}

std::string_view refusalReason(UpdateRefusal refusal) {
  return textsOf(refusal).reason;
}

std::string signedUpdateText(const VersionFile& file) {
  std::string text(signedPrefix);
  for (const std::string* line : {&file.downloadUrl, &file.fileName, &file.version, &file.digestLine})
    text.append(*line).push_back('\n');
  return text;
}

UpdateOrigin checkUpdateOrigin(const VersionFile& file, const UpdateKey& key) {
  startSodium();
  if (file.digestLine.empty() || file.signatureLine.empty()) return {UpdateRefusal::Unsigned};
  auto digest = parseProofLine<crypto_hash_sha256_BYTES>(file.digestLine, digestPrefix);
  auto signature = parseProofLine<crypto_sign_BYTES>(file.signatureLine, signaturePrefix);
  if (!digest || !signature) return {UpdateRefusal::MalformedProof};
  const std::string text = signedUpdateText(file);
  if (crypto_sign_verify_detached(signature->data(), reinterpret_cast<const unsigned char*>(text.data()),
                                  text.size(), key.data()) != 0)
    return {UpdateRefusal::WrongKey};
  if (!endsInExe(file.fileName)) return {UpdateRefusal::NotAnExecutable};
  return {std::nullopt, *digest};
}

Sha256 sha256Of(std::span<const std::uint8_t> bytes) {
  startSodium();
  Sha256 digest;
  crypto_hash_sha256(digest.data(), bytes.data(), bytes.size());
  return digest;
}

std::string hexOf(std::span<const std::uint8_t> bytes) {
  std::string hex(bytes.size() * 2 + 1, '\0');
  sodium_bin2hex(hex.data(), hex.size(), bytes.data(), bytes.size());
  hex.pop_back(); // the terminating zero sodium_bin2hex writes
  return hex;
}

UpdateSeed newUpdateSeed() {
  startSodium();
  UpdateSeed seed;
  randombytes_buf(seed.data(), seed.size());
  return seed;
}

UpdateKey publicKeyOf(const UpdateSeed& seed) {
  startSodium();
  UpdateKey key;
  std::array<std::uint8_t, crypto_sign_SECRETKEYBYTES> secret;
  crypto_sign_seed_keypair(key.data(), secret.data(), seed.data());
  sodium_memzero(secret.data(), secret.size());
  return key;
}

void signUpdate(VersionFile& file, std::span<const std::uint8_t> executable, const UpdateSeed& seed) {
  startSodium();
  file.digestLine = std::string(digestPrefix) + hexOf(sha256Of(executable));
  UpdateKey key;
  std::array<std::uint8_t, crypto_sign_SECRETKEYBYTES> secret;
  crypto_sign_seed_keypair(key.data(), secret.data(), seed.data());
  const std::string text = signedUpdateText(file);
  Signature signature;
  crypto_sign_detached(signature.data(), nullptr, reinterpret_cast<const unsigned char*>(text.data()),
                       text.size(), secret.data());
  sodium_memzero(secret.data(), secret.size());
  file.signatureLine = std::string(signaturePrefix) + hexOf(signature);
}

} // namespace glimor::net
