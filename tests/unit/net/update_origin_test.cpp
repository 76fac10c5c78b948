#include "net/update_origin.h"
#include "net/version_file.h"

#include <sodium.h>

#include <functional>

#include <gtest/gtest.h>

namespace glimor::net {
namespace {

using Refusal = UpdateRefusal;

std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

struct UpdateOriginTest : ::testing::Test {
  UpdateSeed seed = newUpdateSeed();
  UpdateKey key = publicKeyOf(seed);

  VersionFile signedFile(std::string name = "Glimor2.exe") {
    VersionFile file{VersionFile::Verdict::NewerVersion, "http://svc/Glimor2.exe", std::move(name), "1.02"};
    signUpdate(file, bytesOf("MZ new"), seed);
    return file;
  }
  std::optional<Refusal> refusalOf(const VersionFile& file) { return checkUpdateOrigin(file, key).refusal; }
};

TEST_F(UpdateOriginTest, AcceptsEd25519OverTheFirstFourLinesWithTheExecutablesDigest) {
  // A signature made here with libsodium over the exact bytes, for the executable "abc".
  unsigned char publicKey[crypto_sign_PUBLICKEYBYTES], secretKey[crypto_sign_SECRETKEYBYTES];
  crypto_sign_keypair(publicKey, secretKey);
  const std::string digestLine = "SHA256 ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  const std::string message =
      "Glimor update\nhttp://svc/Glimor2.exe\nGlimor2.exe\n1.02\n" + digestLine + "\n";
  unsigned char signature[crypto_sign_BYTES];
  crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                       message.size(), secretKey);
  const std::string text = "http://svc/Glimor2.exe\r\nGlimor2.exe\r\n1.02\r\n" + digestLine + "\r\nEd25519 " +
                           hexOf(signature) + "\r\n";

  VersionFile file = readVersionFile(bytesOf(text), "1.01");
  UpdateKey trusted;
  std::copy(std::begin(publicKey), std::end(publicKey), trusted.begin());
  UpdateOrigin origin = checkUpdateOrigin(file, trusted);
  EXPECT_FALSE(origin.refusal);
  EXPECT_EQ(origin.digest, sha256Of(bytesOf("abc")));

  // Ed25519 signatures are deterministic, so the signer must give the same file byte for byte.
  UpdateSeed sameSeed;
  crypto_sign_ed25519_sk_to_seed(sameSeed.data(), secretKey);
  VersionFile signedHere{VersionFile::Verdict::NewerVersion, file.downloadUrl, file.fileName, file.version};
  signUpdate(signedHere, bytesOf("abc"), sameSeed);
  EXPECT_EQ(formatVersionFile(signedHere), text);
  EXPECT_EQ(publicKeyOf(sameSeed), trusted);
}

TEST_F(UpdateOriginTest, RefusesMissingOrMalformedProofLines) {
  const VersionFile file = signedFile();
  const std::string digest = file.digestLine.substr(7), signature = file.signatureLine.substr(8);
  const std::pair<std::string, std::string> lines[] = {
      {"", file.signatureLine},
      {file.digestLine, ""}, // unsigned
      {"sha256 " + digest, file.signatureLine},
      {"SHA256  " + digest, file.signatureLine},
      {"SHA256 " + upper(digest), file.signatureLine},
      {"SHA256 " + digest.substr(1), file.signatureLine},
      {file.digestLine, "Ed25519:" + signature},
      {file.digestLine, "Ed25519 " + upper(signature)},
      {file.digestLine, "Ed25519 " + signature + "00"},
      {file.digestLine, "Ed25519 " + signature.substr(1) + "g"}};
  for (const auto& [digestLine, signatureLine] : lines) {
    VersionFile changed = file;
    changed.digestLine = digestLine;
    changed.signatureLine = signatureLine;
    EXPECT_EQ(refusalOf(changed),
              digestLine.empty() || signatureLine.empty() ? Refusal::Unsigned : Refusal::MalformedProof)
        << digestLine << " / " << signatureLine;
  }
}

TEST_F(UpdateOriginTest, RefusesAnotherKeyAndAnyLineChangedAfterSigning) {
  const VersionFile file = signedFile();
  EXPECT_EQ(checkUpdateOrigin(file, publicKeyOf(newUpdateSeed())).refusal, Refusal::WrongKey);
  auto flipLast = [](std::string& line) {
    line.back() = line.back() == '0' ? '1' : '0';
  }; // still well formed
  const std::function<void(VersionFile&)> changes[] = {
      [](VersionFile& f) { f.downloadUrl = "http://elsewhere/Glimor2.exe"; },
      [](VersionFile& f) { f.fileName = "Glimor3.exe"; }, [](VersionFile& f) { f.version = "1.03"; },
      [&](VersionFile& f) { flipLast(f.digestLine); }, [&](VersionFile& f) { flipLast(f.signatureLine); }};
  for (const auto& change : changes) {
    VersionFile changed = file;
    change(changed);
    EXPECT_EQ(refusalOf(changed), Refusal::WrongKey) << formatVersionFile(changed);
  }
}

TEST_F(UpdateOriginTest, ASignedNameMustEndInExe) {
  for (const char* name : {"Glimor2.ex", "Glimor2.exe.txt", "Glimor2", ".exe", "Glimor2.exe "})
    EXPECT_EQ(refusalOf(signedFile(name)), Refusal::NotAnExecutable) << name;
  for (const char* name : {"Glimor2.exe", "SETUP.EXE"}) EXPECT_FALSE(refusalOf(signedFile(name))) << name;
}

TEST_F(UpdateOriginTest, AKeyIs64HexDigitsOfEitherCase) {
  EXPECT_EQ(parseKeyHex(upper(hexOf(key))), key);
  EXPECT_FALSE(parseKeyHex(hexOf(key).substr(1) + "g"));
}

} // namespace
} // namespace glimor::net
