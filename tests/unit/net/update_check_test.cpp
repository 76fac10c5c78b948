#include "fakes/fake_files.h"
#include "fakes/fake_messages.h"
#include "fakes/fake_shell.h"
#include "fakes/fake_timers.h"
#include "fakes/fake_update_view.h"
#include "fakes/fake_url_download.h"
#include "net/update_check.h"
#include "net/update_origin.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace glimor::net {
namespace {

using ::testing::ElementsAre;

const std::string exe = "C:\\Apps\\Glimor.exe";
const std::string upd = "C:\\Apps\\Glimor.upd";
const std::string versionUrl = "http://svc/newglimor.txt";
const std::string newExeUrl = "http://svc/files/Glimor2.exe";
const std::string newExe = "C:\\Apps\\Glimor2.exe";

class UpdateCheckTest : public ::testing::Test {
protected:
  void serveVersionFile(std::string text) { download.served[versionUrl] = std::move(text); }
  // A version file for `executable`, signed with `signer` (the trusted key's seed unless given).
  std::string signedVersionFile(const std::string& version, const std::string& executable = "MZ new",
                                const UpdateSeed* signer = nullptr, const std::string& name = "Glimor2.exe") {
    VersionFile file{VersionFile::Verdict::NewerVersion, newExeUrl, name, version};
    signUpdate(file, std::span(reinterpret_cast<const std::uint8_t*>(executable.data()), executable.size()),
               signer ? *signer : seed);
    return formatVersionFile(file);
  }
  void serveNewerVersion() {
    serveVersionFile(signedVersionFile("1.02"));
    download.served[newExeUrl] = "MZ new";
  }
  std::string statusOfACheckWithKey(const std::string& key) {
    fakes::FakeUpdateView otherView;
    fakes::FakeTimers otherTimers;
    UpdateCheck other({otherView, download, files, shell, messages, otherTimers}, endpoints, exe, "1.01", key,
                      downloading);
    other.checkForUpdateNow();
    return otherView.status() + " | " + otherView.reason;
  }

  UpdateSeed seed = newUpdateSeed();
  std::string host = "svc";
  EndpointsSource endpoints = [this] { return ServiceEndpoints(host); };

  fakes::FakeFiles files;
  fakes::FakeShell shell{files};
  fakes::FakeMessages messages;
  fakes::FakeTimers timers;
  fakes::FakeUpdateView view;
  fakes::FakeUrlDownload download{files};
  bool downloading = false;
  UpdateCheck check{{view, download, files, shell, messages, timers},
                    endpoints,
                    exe,
                    "1.01",
                    hexOf(publicKeyOf(seed)),
                    downloading};
};

TEST_F(UpdateCheckTest, ANewerVersionIsDownloadedAndHandedOverTwoSecondsLater) {
  serveNewerVersion();
  check.checkForUpdateNow();

  EXPECT_THAT(download.requests,
              ElementsAre(versionUrl + " > " + upd, newExeUrl + " > C:\\Apps\\Glimor2.exe"));
  EXPECT_EQ(view.shown, 1);
  EXPECT_FALSE(files.exists(upd));
  EXPECT_EQ(check.newExePath(), "C:\\Apps\\Glimor2.exe");
  EXPECT_EQ(check.remoteVersion(), "1.02");

  timers.advance(1999);
  EXPECT_TRUE(shell.log.empty());
  timers.advance(1);
  EXPECT_THAT(shell.log, ElementsAre("run C:\\Apps\\Glimor2.exe -updating"));
  EXPECT_TRUE(view.ended);
  download.online = false; // keeps the automatic check out of the rest of the run
  timers.advance(10000);
  EXPECT_EQ(shell.log.size(), 1u); // once only
}

TEST_F(UpdateCheckTest, AnOfferThatIsTheRunningProgramIsNotTakenAgainAndANewerOneIs) {
  // After a hand-over to a program that still calls itself 1.01, the version file still says 1.02.
  serveNewerVersion();
  files.contents[exe] = platform::Bytes{'M', 'Z', ' ', 'n', 'e', 'w'};
  for (int start = 0; start < 2; ++start) {
    check.CheckForUpdate();
    EXPECT_EQ(view.status(), "Update already installed.");
    EXPECT_EQ(view.reason, "No update needed: the update offered as version 1.02 is the program already "
                           "running (version 1.01).");
  }
  EXPECT_THAT(download.requests, ElementsAre(versionUrl + " > " + upd, versionUrl + " > " + upd));
  EXPECT_FALSE(files.exists(upd));
  timers.advance(10000);
  EXPECT_TRUE(shell.log.empty());

  serveVersionFile(signedVersionFile("1.02", "MZ newer")); // the same number, another program
  download.served[newExeUrl] = "MZ newer";
  check.CheckForUpdate();
  timers.advance(2000);
  EXPECT_THAT(shell.log, ElementsAre("run C:\\Apps\\Glimor2.exe -updating"));
}

TEST_F(UpdateCheckTest, EachCheckAsksTheServiceTheSettingsNameThen) {
  serveVersionFile(newExeUrl + "\nGlimor2.exe\n1.01\n");
  check.CheckForUpdate();
  host = "https://img.example";
  download.served["https://img.example/newglimor.txt"] = newExeUrl + "\nGlimor2.exe\n1.01\n";
  check.CheckForUpdate();
  EXPECT_THAT(download.requests,
              ElementsAre(versionUrl + " > " + upd, "https://img.example/newglimor.txt > " + upd));
}

TEST_F(UpdateCheckTest, VersionsNotAboveOursNeedNoUpdate) {
  for (const char* version : {"1.01", "1.0", "0.99", ""}) {
    serveVersionFile(newExeUrl + "\nGlimor2.exe\n" + version + "\n");
    check.CheckForUpdate();
    EXPECT_EQ(view.status(), "No updates needed.") << version;
    EXPECT_FALSE(files.exists(upd));
  }
  serveVersionFile(signedVersionFile("1.01")); // signed or not
  check.CheckForUpdate();
  EXPECT_EQ(view.status(), "No updates needed.");
  download.served[newExeUrl] = "MZ new";
  for (const char* version : {"1.1", "1.010", "2", "1.01a"}) {
    serveVersionFile(signedVersionFile(version));
    check.CheckForUpdate();
    EXPECT_EQ(view.status(), "Getting info...") << version; // went on to the download
  }
  EXPECT_EQ(view.shown, 4);
}

TEST_F(UpdateCheckTest, EmptyLinesAreNamedAndNothingIsDownloaded) {
  serveVersionFile("\nGlimor2.exe\n1.02\n");
  check.CheckForUpdate();
  EXPECT_EQ(view.status(), "Incorrect src file.");
  serveVersionFile(newExeUrl + "\n\n1.02\n");
  check.CheckForUpdate();
  EXPECT_EQ(view.status(), "Incorrect dest file.");
  EXPECT_EQ(download.requests.size(), 2u);
  EXPECT_FALSE(files.exists(upd));
}

TEST_F(UpdateCheckTest, AFileNameThatLeavesTheProgramFolderIsRefused) {
  for (const char* name : {"..\\Glimor.exe", "sub/Glimor.exe", "C:\\Windows\\evil.exe", "D:evil.exe", "..",
                           "\\\\server\\share\\x.exe"}) {
    serveVersionFile(newExeUrl + "\n" + name + "\n9.99\n");
    check.CheckForUpdate();
    EXPECT_EQ(view.status(), "Incorrect dest file.") << name;
  }
  EXPECT_EQ(download.requests.size(), 6u); // only the version files
  EXPECT_EQ(view.shown, 0);
  EXPECT_FALSE(files.exists(upd));
}

TEST_F(UpdateCheckTest, FailuresEndWithUpdateFailedAndKeepTheVersionFile) {
  check.CheckForUpdate(); // not served
  EXPECT_EQ(view.status(), "Update failed.");

  serveVersionFile(newExeUrl + "\nGlimor2.exe"); // a line missing
  check.CheckForUpdate();
  EXPECT_EQ(view.status(), "Update failed.");
  EXPECT_TRUE(files.exists(upd));

  serveVersionFile(signedVersionFile("1.02")); // the executable itself is not served
  check.CheckForUpdate();
  EXPECT_EQ(view.status(), "Update failed.");

  download.missingLibrary = true;
  check.CheckForUpdate();
  EXPECT_EQ(view.status(), "Update failed.");
  EXPECT_FALSE(downloading);
  timers.advance(5000);
  EXPECT_TRUE(shell.log.empty());
}

TEST_F(UpdateCheckTest, AVersionFileThatNeverArrivesIsReported) {
  serveVersionFile("x");
  download.writesNothing = true;
  check.CheckForUpdate();
  EXPECT_EQ(view.status(), "Unable to load ver_file");
}

TEST_F(UpdateCheckTest, TheAutomaticCheckRunsOnceFiveSecondsAfterStartWhenOnline) {
  serveVersionFile(newExeUrl + "\nGlimor2.exe\n1.01\n");
  timers.advance(4999);
  EXPECT_TRUE(download.requests.empty());
  timers.advance(1);
  EXPECT_EQ(view.status(), "No updates needed.");
  timers.advance(60000);
  EXPECT_EQ(download.requests.size(), 1u);
}

TEST_F(UpdateCheckTest, TheAutomaticCheckOffOrOffline) {
  view.autoUpdate = false;
  timers.advance(5000);
  EXPECT_THAT(view.panel1, ElementsAre("AutoUpdate disabled."));

  fakes::FakeUpdateView offlineView;
  fakes::FakeTimers otherTimers;
  download.online = false;
  UpdateCheck offline{{offlineView, download, files, shell, messages, otherTimers},
                      endpoints,
                      exe,
                      "1.01",
                      hexOf(publicKeyOf(seed)),
                      downloading};
  otherTimers.advance(5000);
  EXPECT_TRUE(offlineView.panel1.empty());
  EXPECT_TRUE(download.requests.empty());
}

TEST_F(UpdateCheckTest, TheNewExecutablesProgressIsShownEverySecondAndHoldsTheHotKey) {
  serveNewerVersion();
  download.progressSteps = {{0, 1000}, {370, 1000}, {999, 1000}};
  std::vector<bool> downloadingSeen;
  download.duringDownload = [&] {
    downloadingSeen.push_back(downloading);
    timers.advance(1000);
  };
  check.CheckForUpdate();
  // The version file leaves the hot key free; the executable holds it.
  EXPECT_THAT(downloadingSeen, ElementsAre(false, false, false, true, true, true));
  EXPECT_FALSE(downloading);
  EXPECT_THAT(view.panel1, ElementsAre("Getting info...", "Update: 0 %", "Update: 37 %", "Update: 99 %"));
}

TEST_F(UpdateCheckTest, ADownloadThatOverrunsItsLimitsEndsTheCheckWithAReason) {
  serveNewerVersion();
  download.silentUrl = versionUrl;
  check.CheckForUpdate();
  EXPECT_EQ(view.status(), "Update timed out.");
  EXPECT_EQ(view.reason,
            versionUrl + " did not arrive in time: the service sent nothing for 60 s, or too slowly.");
  EXPECT_EQ(download.limits.pause, std::chrono::seconds(60));
  EXPECT_EQ(download.limits.wholeFor(1024 * 1024), std::chrono::seconds(90));
  EXPECT_EQ(download.limits.wholeFor(1024 * 1024 + 64 * 1024 * 30), std::chrono::seconds(120));

  download.silentUrl = newExeUrl;
  check.CheckForUpdate();
  EXPECT_EQ(view.status(), "Update timed out.");
  EXPECT_FALSE(downloading);
  timers.advance(5000);
  EXPECT_TRUE(shell.log.empty());
}

TEST_F(UpdateCheckTest, AnUnknownTotalKeepsThePreviousTextAndLargeSizesDoNotOverflow) {
  serveNewerVersion();
  download.progressSteps = {{5, 0}, {4000000000u, 4294967295u}};
  download.duringDownload = [&] { timers.advance(1000); };
  check.CheckForUpdate();
  EXPECT_THAT(view.panel1, ElementsAre("Getting info...", "Update: 93 %"));
}

TEST_F(UpdateCheckTest, ASecondCheckDuringADownloadWaitsForTheFirst) {
  serveNewerVersion();
  download.progressSteps = {{1, 2}};
  download.duringDownload = [&] { check.checkForUpdateNow(); };
  check.CheckForUpdate();
  EXPECT_EQ(download.requests.size(), 2u);
}

TEST_F(UpdateCheckTest, AMissingNewExecutableAtHandOverIsReportedAndTheProgramGoesOn) {
  serveNewerVersion();
  check.CheckForUpdate();
  files.contents.erase(newExe);
  timers.advance(2000);
  EXPECT_THAT(messages.shown, ElementsAre("Updated file not found."));
  EXPECT_FALSE(view.ended);
  EXPECT_TRUE(shell.log.empty());
}

TEST_F(UpdateCheckTest, WithoutAValidKeyNothingIsDownloadedAndTheStatusSaysSo) {
  serveNewerVersion();
  EXPECT_EQ(statusOfACheckWithKey(""),
            "Updates off in this build. | Updates are off: this build of Glimor has no key to tell a genuine "
            "update from a forged one, and Glimor.ini names none ([Update] PublicKey).");
  for (const std::string& bad : {std::string("none"), hexOf(publicKeyOf(seed)).substr(1)})
    EXPECT_EQ(statusOfACheckWithKey(bad), "Updates off: Glimor.ini. | Updates are off: the update key in "
                                          "Glimor.ini ([Update] PublicKey) is not 64 hex digits.")
        << bad;
  EXPECT_TRUE(download.requests.empty());
}

TEST_F(UpdateCheckTest, AVersionFileWithoutAValidSignatureDownloadsNoExecutable) {
  download.served[newExeUrl] = "MZ new";
  const UpdateSeed otherSeed = newUpdateSeed();
  const std::pair<std::string, std::string> cases[] = {
      {newExeUrl + "\r\nGlimor2.exe\r\n1.02\r\n", "Update refused: the version file is not signed."},
      {signedVersionFile("1.02", "MZ new", &otherSeed), "Update refused: not signed by the update key."},
      {signedVersionFile("1.02", "MZ new", nullptr, "Glimor2.com"),
       "Update refused: the new file's name does not end in .exe."},
  };
  for (const auto& [text, status] : cases) {
    serveVersionFile(text);
    check.CheckForUpdate();
    EXPECT_EQ(view.reason, status);
  }
  EXPECT_EQ(view.status(), "Refused: not an .exe."); // short enough for the panel
  EXPECT_EQ(download.requests.size(), 3u);           // the version files only
  EXPECT_EQ(view.shown, 0);
  EXPECT_FALSE(files.exists(upd));
  EXPECT_FALSE(files.exists(newExe));
  EXPECT_FALSE(files.exists("C:\\Apps\\Glimor2.com"));
}

TEST_F(UpdateCheckTest, ADownloadThatDoesNotMatchItsDigestIsDeletedAndNotStarted) {
  serveVersionFile(signedVersionFile("1.02"));
  download.served[newExeUrl] = "MZ nex"; // one byte off
  check.CheckForUpdate();
  EXPECT_EQ(view.status(), "Refused: bad download.");
  EXPECT_EQ(view.reason, "Update refused: the download does not match its signature.");
  EXPECT_EQ(download.requests.size(), 2u);
  EXPECT_FALSE(files.exists(newExe));
  EXPECT_FALSE(files.exists(upd));
  timers.advance(5000);
  EXPECT_TRUE(shell.log.empty());
  EXPECT_FALSE(view.ended);
}

TEST_F(UpdateCheckTest, ADownloadChangedBeforeTheHandOverIsDeletedAndNotStarted) {
  serveNewerVersion();
  check.CheckForUpdate();
  ASSERT_TRUE(files.exists(newExe));
  files.contents[newExe].back() ^= 1;
  timers.advance(2000);
  EXPECT_EQ(view.reason, "Update refused: the download changed before it was started.");
  EXPECT_FALSE(files.exists(newExe));
  EXPECT_TRUE(shell.log.empty());
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_FALSE(view.ended);
}

} // namespace
} // namespace glimor::net
