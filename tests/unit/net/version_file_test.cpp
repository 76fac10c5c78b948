#include "net/version_file.h"
#include "platform/error.h"

#include <gtest/gtest.h>

namespace glimor::net {
namespace {

using Verdict = VersionFile::Verdict;

VersionFile read(std::string_view text) {
  return readVersionFile(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), "1.01");
}

TEST(VersionFile, NamesTheDownloadWhenLineThreeIsNewer) {
  VersionFile file =
      read("http://svc/Glimor2.exe\r\nGlimor2.exe\r\n1.02\r\nSHA256 d\r\nEd25519 s\r\nignored\r\n");
  EXPECT_EQ(file.verdict, Verdict::NewerVersion);
  EXPECT_EQ(file.downloadUrl, "http://svc/Glimor2.exe");
  EXPECT_EQ(file.fileName, "Glimor2.exe");
  EXPECT_EQ(file.version, "1.02");
  EXPECT_EQ(file.digestLine, "SHA256 d");
  EXPECT_EQ(file.signatureLine, "Ed25519 s");
  EXPECT_EQ(read("u\nf\n1.02\nSHA256 d").signatureLine, ""); // an older file: the check refuses it
}

TEST(VersionFile, ComparesVersionsByteByByte) {
  for (const char* same : {"1.01", "1.0", "0.99", ""}) EXPECT_FALSE(isNewerVersion("1.01", same)) << same;
  for (const char* newer : {"1.1", "1.010", "2", "1.01a", "1.01\xe9"})
    EXPECT_TRUE(isNewerVersion("1.01", newer)) << newer;
  EXPECT_EQ(read("u\nf\n1.01").verdict, Verdict::NoUpdateNeeded);
  EXPECT_EQ(read("u\nf\n\n").verdict, Verdict::NoUpdateNeeded);
}

TEST(VersionFile, ReportsEmptyLinesBeforeMissingOnes) {
  EXPECT_EQ(read("\r\nGlimor2.exe\r\n1.02").verdict, Verdict::IncorrectSource);
  EXPECT_EQ(read("\n").verdict, Verdict::IncorrectSource);
  EXPECT_EQ(read("http://svc/x.exe\n\n1.02").verdict, Verdict::IncorrectDestination);
  EXPECT_EQ(verdictText(Verdict::IncorrectSource), "Incorrect src file.");
  EXPECT_EQ(verdictText(Verdict::IncorrectDestination), "Incorrect dest file.");
  EXPECT_EQ(verdictText(Verdict::NoUpdateNeeded), "No updates needed.");
}

TEST(VersionFile, RefusesAFileNameThatLeavesTheProgramFolder) {
  for (const char* name : {"..\\Glimor.exe", "a/b.exe", "C:\\x.exe", "C:x.exe", "..", ".", "\\\\h\\s\\x.exe"})
    EXPECT_EQ(read("u\n" + std::string(name) + "\n9").verdict, Verdict::IncorrectDestination) << name;
  for (const char* name : {"Glimor2.exe", "..Glimor.exe", "new version.exe"})
    EXPECT_EQ(read("u\n" + std::string(name) + "\n9").verdict, Verdict::NewerVersion) << name;
}

TEST(VersionFile, FailsWhenALineItNeedsIsMissing) {
  EXPECT_THROW(read("http://svc/x.exe\r\nGlimor2.exe\r\n"), Error);
  EXPECT_THROW(read(""), Error);
  EXPECT_THROW(read(std::string_view("u\nf\0\n1.02", 10)), Error);
}

} // namespace
} // namespace glimor::net
