#include "app/startup.h"
#include "fakes/fake_files.h"
#include "fakes/fake_messages.h"
#include "fakes/fake_shell.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace glimor::app {
namespace {

using ::testing::ElementsAre;

struct StartUpTest : ::testing::Test {
  fakes::FakeFiles files;
  fakes::FakeShell shell{files};
  fakes::FakeMessages messages;
  bool start(std::vector<std::string> arguments) { return runStartUp(arguments, {shell, files, messages}); }
};

TEST_F(StartUpTest, ModeWordsAreExactAndCaseSensitive) {
  EXPECT_EQ(startModeOf({"C:\\a\\Glimor.exe"}), StartMode::Ordinary);
  EXPECT_EQ(startModeOf({"C:\\a\\Glimor.exe", "-updating"}), StartMode::Updating);
  EXPECT_EQ(startModeOf({"C:\\a\\Glimor.exe", "-updated", "x"}), StartMode::Updated);
  EXPECT_EQ(startModeOf({"C:\\a\\Glimor.exe", "-UPDATING"}), StartMode::Ordinary);
  EXPECT_EQ(startModeOf({"C:\\a\\Glimor.exe", "-updating2"}), StartMode::Ordinary);
}

TEST_F(StartUpTest, InstalledCopyIsGlimorExeBesideTheRunningFile) {
  EXPECT_EQ(installedExePath("C:\\Apps\\new.exe"), "C:\\Apps\\Glimor.exe");
}

TEST_F(StartUpTest, OrdinaryStartGoesOnWithoutMessages) {
  EXPECT_TRUE(start({"C:\\Apps\\Glimor.exe"}));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(StartUpTest, ADuplicateIsFoundByTitleInAnyLetterCase) {
  shell.windows = {"GLIMOR!"};
  EXPECT_FALSE(start({"C:\\Apps\\Glimor.exe"}));
  EXPECT_THAT(messages.shown, ElementsAre("You cannot start multiple copies of Glimor!"));
  shell.windows = {"Glimor"}; // the main window's own caption never matches
  messages.shown.clear();
  EXPECT_TRUE(start({"C:\\Apps\\Glimor.exe"}));
}

TEST_F(StartUpTest, InstallingStageCopiesAsideThenReplacesAndStartsTheInstalledCopy) {
  files.contents["C:\\Apps\\new.exe"] = {2};
  files.contents["C:\\Apps\\Glimor.exe"] = {1};
  EXPECT_FALSE(start({"C:\\Apps\\new.exe", "-updating"}));
  EXPECT_THAT(shell.log, ElementsAre("sleep 3000", "copy C:\\Apps\\new.exe > C:\\Apps\\Glimor.exe.new",
                                     "move C:\\Apps\\Glimor.exe.new > C:\\Apps\\Glimor.exe",
                                     "run C:\\Apps\\Glimor.exe -updated \"C:\\Apps\\new.exe\""));
  EXPECT_EQ(files.contents["C:\\Apps\\Glimor.exe"], platform::Bytes{2});
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(StartUpTest, AFailedCopyKeepsTheInstalledProgramAndStartsOrdinarily) {
  files.contents["C:\\Apps\\new.exe"] = {2};
  files.contents["C:\\Apps\\Glimor.exe"] = {1};
  shell.copyFails = true;
  EXPECT_TRUE(start({"C:\\Apps\\new.exe", "-updating"}));
  EXPECT_EQ(files.contents["C:\\Apps\\Glimor.exe"], platform::Bytes{1});
  EXPECT_THAT(messages.shown, ElementsAre("Unable to replace old file. Update failed."));

  shell.copyFails = false;
  shell.moveFails = true;
  messages.shown.clear();
  EXPECT_TRUE(start({"C:\\Apps\\new.exe", "-updating"}));
  EXPECT_EQ(files.contents["C:\\Apps\\Glimor.exe"], platform::Bytes{1});
  EXPECT_FALSE(files.exists("C:\\Apps\\Glimor.exe.new")) << "the staged copy is cleaned up";
  EXPECT_THAT(messages.shown, ElementsAre("Unable to replace old file. Update failed."));
}

TEST_F(StartUpTest, AFailedInstallStillRefusesToRunBesideAnotherCopy) {
  shell.windows = {"Glimor!"};
  shell.copyFails = true;
  EXPECT_FALSE(start({"C:\\Apps\\new.exe", "-updating"}));
  EXPECT_THAT(messages.shown, ElementsAre("Unable to replace old file. Update failed.",
                                          "You cannot start multiple copies of Glimor!"));
}

TEST_F(StartUpTest, UpdatedStageReportsAndDeletesTheDownloadedCopy) {
  files.contents["C:\\Apps\\new.exe"] = {2};
  EXPECT_TRUE(start({"C:\\Apps\\Glimor.exe", "-updated", "C:\\Apps\\new.exe"}));
  EXPECT_THAT(shell.log, ElementsAre("sleep 3000"));
  EXPECT_THAT(messages.shown, ElementsAre("Update successful. You are running version: 1.01"));
  EXPECT_FALSE(files.exists("C:\\Apps\\new.exe"));
}

TEST_F(StartUpTest, UpdatedStageToleratesMissingOrLockedDownloads) {
  EXPECT_TRUE(start({"C:\\Apps\\Glimor.exe", "-updated"}));
  EXPECT_TRUE(start({"C:\\Apps\\Glimor.exe", "-updated", "C:\\gone.exe"}));
  EXPECT_THAT(messages.shown, ElementsAre("Update successful. You are running version: 1.01",
                                          "Update successful. You are running version: 1.01"));
  files.contents["C:\\Apps\\new.exe"] = {2};
  files.undeletable.insert("C:\\Apps\\new.exe");
  messages.shown.clear();
  EXPECT_TRUE(start({"C:\\Apps\\Glimor.exe", "-updated", "C:\\Apps\\new.exe"}));
  EXPECT_THAT(messages.shown, ElementsAre("Update successful. You are running version: 1.01",
                                          "Unable to delete old file. Update failed."));
}

TEST_F(StartUpTest, UpdatedStageBesideARunningCopyStillCleansUpThenRefuses) {
  shell.windows = {"Glimor!"};
  files.contents["C:\\Apps\\new.exe"] = {2};
  EXPECT_FALSE(start({"C:\\Apps\\Glimor.exe", "-updated", "C:\\Apps\\new.exe"}));
  EXPECT_FALSE(files.exists("C:\\Apps\\new.exe"));
  EXPECT_THAT(messages.shown, ElementsAre("Update successful. You are running version: 1.01",
                                          "You cannot start multiple copies of Glimor!"));
}

} // namespace
} // namespace glimor::app
