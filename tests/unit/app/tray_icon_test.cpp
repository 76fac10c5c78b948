#include "fakes/main_form_rig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

namespace glimor::app {
namespace {

struct TrayIconTest : ::testing::Test, fakes::MainFormRig {
  TrayIconTest() {
    givenInstalled();
    form.create();
  }
};

TEST_F(TrayIconTest, LeftButtonDownTogglesTheWindow) {
  form.onTrayNotify(0x0201);
  EXPECT_TRUE(view.shown);
  EXPECT_EQ(view.broughtToFront, 1);
  form.onTrayNotify(0x0203); // the double click's second press
  EXPECT_TRUE(view.shown);
  form.onTrayNotify(0x0201);
  EXPECT_FALSE(view.shown);
  EXPECT_EQ(view.broughtToFront, 1);
}

TEST_F(TrayIconTest, RightButtonUpOpensTheMenuOtherEventsDoNothing) {
  form.onTrayNotify(0x0200);
  form.onTrayNotify(0x0204);
  EXPECT_EQ(tray.menus, 0);
  form.onTrayNotify(0x0205);
  EXPECT_EQ(tray.menus, 1);
  EXPECT_FALSE(view.shown);
}

TEST_F(TrayIconTest, TheMenuOffersTheHistoryAsItWasWhenTheMenuOpened) {
  form.onTrayNotify(0x0205);
  EXPECT_TRUE(tray.lastMenu.recentLinks.empty()); // nothing plugged in: both items greyed
  EXPECT_FALSE(tray.lastMenu.canDeleteLast);
  form.onTrayDeleteLast();

  platform::TrayMenu history{{{"http://svc/i/2", "svc/i/2"}, {"http://svc/i/1", "svc/i/1"}}, false};
  std::vector<std::string> calls;
  form.setTrayHistory({[&] { return history; },
                       [&](const std::string& link) { calls.push_back("copy " + link); },
                       [&] { calls.push_back("delete"); }});
  form.onTrayNotify(0x0205);
  history = {{{"http://svc/i/3", "svc/i/3"}}, true}; // an upload ended while the menu was open
  form.onTrayRecentLink(1);
  form.onTrayRecentLink(2);
  form.onTrayDeleteLast(); // greyed when the menu opened
  form.onTrayNotify(0x0205);
  form.onTrayDeleteLast();
  EXPECT_THAT(calls, ::testing::ElementsAre("copy http://svc/i/1", "delete"));
}

TEST_F(TrayIconTest, CancelUploadIsOfferedOnlyWhileAnUploadRuns) {
  bool running = false;
  int cancels = 0;
  form.setUploadRunning([&] { return running; });
  form.setUploadCanceller([&] { ++cancels; });
  form.onTrayNotify(0x0205);
  EXPECT_FALSE(tray.lastMenu.canCancelUpload);
  running = true;
  form.onTrayCancelUpload(); // not on the menu as it was shown
  form.onTrayNotify(0x0205);
  EXPECT_TRUE(tray.lastMenu.canCancelUpload);
  form.onTrayCancelUpload();
  EXPECT_EQ(cancels, 1);
}

TEST_F(TrayIconTest, RetryUploadSendsTheLastFileWhileItExistsThroughTheUploadsGates) {
  std::set<std::string> files;
  bool running = false;
  int uploads = 0;
  form.setUploadFileCheck([&](const std::string& path) { return files.count(path) > 0; });
  form.setUploadRunning([&] { return running; });
  form.setUploadCanceller([] {});
  form.setUploadStarter([&] { ++uploads; });
  form.onTrayNotify(0x0205);
  EXPECT_FALSE(tray.lastMenu.canRetryUpload) << "nothing captured yet";

  view.uploadFile = "C:\\Apps\\Glimor.jpg";
  files.insert(view.uploadFile);
  running = true;
  form.onTrayNotify(0x0205);
  EXPECT_TRUE(tray.lastMenu.canCancelUpload);
  EXPECT_FALSE(tray.lastMenu.canRetryUpload) << "one row: Cancel upload while it runs";
  form.retryUpload(); // the links page's button
  EXPECT_EQ(tray.balloons.back(), "info: " + uploadRunningText);

  running = false;
  form.startFloodLock();
  form.onTrayNotify(0x0205);
  ASSERT_TRUE(tray.lastMenu.canRetryUpload);
  form.onTrayRetryUpload();
  EXPECT_EQ(tray.balloons.back(), "info: Wait 5 s: the last upload was moments ago.");
  timers.advance(5000);
  form.onTrayRetryUpload();
  EXPECT_EQ(uploads, 1);
  EXPECT_FALSE(view.shown);

  files.clear(); // the file went after the menu opened
  form.onTrayRetryUpload();
  EXPECT_EQ(view.status(0), nothingToRetryText);
  EXPECT_EQ(uploads, 1);
  form.onTrayNotify(0x0205);
  EXPECT_FALSE(tray.lastMenu.canRetryUpload);
}

TEST_F(TrayIconTest, MenuShowAndHide) {
  form.onTrayShow();
  EXPECT_TRUE(view.shown);
  form.onTrayHide();
  EXPECT_FALSE(view.shown);
}

TEST_F(TrayIconTest, AVanishedIconComesBackWithinThreeSeconds) {
  int addsAtStart = tray.adds;
  tray.present = false; // the notification area was re-created
  timers.advance(2999);
  EXPECT_FALSE(tray.present);
  timers.advance(1);
  EXPECT_TRUE(tray.present);
  timers.advance(3000);
  EXPECT_EQ(tray.adds, addsAtStart + 2);
}

} // namespace
} // namespace glimor::app
