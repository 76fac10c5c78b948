#include "fakes/main_form_rig.h"
#include "platform/error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace glimor::app {
namespace {

using platform::CheckBox;
using platform::ImageType;
using ::testing::ElementsAre;

struct MainFormTest : ::testing::Test, fakes::MainFormRig {};

TEST_F(MainFormTest, FirstStartShowsTheWindowRecordsInstallationAndRegistersAutostart) {
  form.create();
  EXPECT_TRUE(view.shown);
  EXPECT_EQ(ini("Installed"), "1");
  EXPECT_TRUE(options.checked(CheckBox::AutoStart));
  EXPECT_EQ(registry.machine.keys[runKey]["Glimor"].data, "\"C:\\Apps\\Glimor.exe\"");
  EXPECT_TRUE(tray.present);
  EXPECT_TRUE(flags.hotKeyReady);
  EXPECT_EQ(view.version, "1.01");
}

TEST_F(MainFormTest, LaterStartsStayHiddenAndReadTheOptions) {
  givenInstalled();
  profile.values[{"Options", "ImgType"}] = "PNG";
  profile.values[{"Options", "Fade"}] = "0";
  profile.values[{"Options", "AutoUpdate"}] = "0";
  profile.values[{"Options", "AllMonitors"}] = "0";
  form.create();
  EXPECT_FALSE(view.shown);
  EXPECT_FALSE(options.checked(CheckBox::AllMonitors));
  EXPECT_EQ(options.type, ImageType::Png);
  EXPECT_FALSE(options.checked(CheckBox::Fade));
  EXPECT_FALSE(options.checked(CheckBox::AutoUpdate));
  EXPECT_FALSE(runValueExists()) << "autostart is written on the first start only";
}

TEST_F(MainFormTest, ImageTypeMustMatchExactly) {
  givenInstalled();
  profile.values[{"Options", "ImgType"}] = "jpeg";
  form.create();
  EXPECT_EQ(options.type, ImageType::None);
  form.onImageTypeSelected(ImageType::Bmp);
  EXPECT_EQ(ini("ImgType"), "BMP");
  form.onImageTypeSelected(ImageType::Jpeg);
  EXPECT_EQ(ini("ImgType"), "JPEG");
  form.onImageTypeSelected(ImageType::Png);
  EXPECT_EQ(ini("ImgType"), "PNG");
}

TEST_F(MainFormTest, CheckBoxChangesAreStoredAsOneOrZero) {
  givenInstalled();
  profile.values[{"Options", "Fade"}] = "2";
  options.setChecked(CheckBox::AllMonitors, false); // unset, the setting's default wins
  form.create();
  EXPECT_TRUE(options.checked(CheckBox::Fade));
  EXPECT_TRUE(options.checked(CheckBox::AllMonitors));
  options.setChecked(CheckBox::AllMonitors, false);
  form.onAllMonitorsChanged();
  EXPECT_EQ(ini("AllMonitors"), "0");
  options.setChecked(CheckBox::Fade, false);
  form.onFadeChanged();
  EXPECT_EQ(ini("Fade"), "0");
  options.setChecked(CheckBox::AutoUpdate, true);
  form.onAutoUpdateChanged();
  EXPECT_EQ(ini("AutoUpdate"), "1");
}

TEST_F(MainFormTest, TheUploadTokenIsShownAndSavedOnlyWhenItCanBeSent) {
  givenInstalled();
  profile.values[{"Service", "Token"}] = "old-token";
  form.create();
  EXPECT_EQ(options.token, "old-token");
  options.token = "abc.DEF_12~+/==";
  form.onUploadTokenChanged();
  EXPECT_EQ((profile.values[{"Service", "Token"}]), "abc.DEF_12~+/==");
  int writes = profile.writes;
  form.onUploadTokenChanged(); // left unchanged: nothing to write
  EXPECT_EQ(profile.writes, writes);
  for (const std::string& refused :
       std::vector<std::string>{"two words", "a=b", "line\r\nbreak", "=", std::string(2048, 'a')}) {
    options.token = refused;
    EXPECT_THROW(form.onUploadTokenChanged(), Error) << refused;
    EXPECT_EQ((profile.values[{"Service", "Token"}]), "abc.DEF_12~+/==") << refused;
    EXPECT_EQ(options.token, "abc.DEF_12~+/==") << "the field shows the saved token again";
  }
  options.token = " \tpasted-token \r\n"; // spaces around a pasted token are no part of it
  form.onUploadTokenChanged();
  EXPECT_EQ((profile.values[{"Service", "Token"}]), "pasted-token");
  EXPECT_EQ(options.token, "pasted-token");
  options.token = "  ";
  form.onUploadTokenChanged();
  EXPECT_EQ((profile.values[{"Service", "Token"}]), "") << "an empty field removes the token";
}

TEST_F(MainFormTest, AReadOnlySettingsFileReportsTheWrite) {
  givenInstalled();
  form.create();
  profile.readOnly = true;
  EXPECT_THROW(form.onImageTypeSelected(ImageType::Gif), Error);
  EXPECT_EQ(ini("ImgType"), "");
}

TEST_F(MainFormTest, AReadOnlySettingsFileAtStartIsReportedOnceAndTheStartGoesOn) {
  givenInstalled();
  profile.values[{"Options", "ImgType"}] = "GIF";
  profile.values[{"Options", "Fade"}] = "0";
  profile.readOnly = true;
  form.create();
  EXPECT_THAT(messages.shown, ElementsAre("Unable to write to C:\\Apps\\Glimor.ini"));
  EXPECT_EQ(options.type, ImageType::Gif);
  EXPECT_FALSE(options.checked(CheckBox::Fade));
  EXPECT_EQ(view.version, "1.01");
  givenRunValue("\"D:\\Old\\Glimor.exe\"");
  timers.advance(500);
  EXPECT_EQ(registry.machine.keys[runKey]["Glimor"].data, "\"C:\\Apps\\Glimor.exe\"") << "the mirror runs";
}

TEST_F(MainFormTest, CloseOnlyHidesUnlessExitWasConfirmed) {
  givenInstalled();
  form.create();
  view.shown = true;
  EXPECT_FALSE(form.closeQuery());
  EXPECT_FALSE(view.shown);
  EXPECT_TRUE(messages.questions.empty());

  bool closed = false;
  view.onCloseRequest = [&] { closed = form.closeQuery(); };
  messages.answers = {false};
  form.onTrayExit();
  EXPECT_FALSE(closed);
  EXPECT_THAT(messages.questions, ElementsAre("Exit?: Are you sure want to Quit application?"));
  EXPECT_FALSE(flags.quitRequested);
  // The request was cleared: the close button hides again without asking.
  view.shown = true;
  EXPECT_FALSE(form.closeQuery());
  EXPECT_EQ(messages.questions.size(), 1u);

  messages.answers = {true};
  form.onTrayExit();
  EXPECT_TRUE(closed);
}

TEST_F(MainFormTest, AQuitMessageClosesWithoutTheQuestionOnce) {
  givenInstalled();
  form.create();
  bool closed = false;
  view.onCloseRequest = [&] { closed = form.closeQuery(); };
  form.onQuitMessage();
  EXPECT_TRUE(closed);
  EXPECT_TRUE(messages.questions.empty());
  EXPECT_FALSE(flags.quitRequested);

  closed = true;
  view.shown = true;
  view.onCloseRequest();
  EXPECT_FALSE(closed) << "the next close only hides";
  EXPECT_FALSE(view.shown);
  messages.answers = {false};
  form.onTrayExit();
  EXPECT_FALSE(closed) << "and the tray's Exit asks again";
  EXPECT_EQ(messages.questions.size(), 1u);
}

TEST_F(MainFormTest, DestructionRemovesIconAndHotKey) {
  givenInstalled();
  form.create();
  form.destroy();
  EXPECT_FALSE(tray.present);
  EXPECT_TRUE(hotKeys.registered.empty());
  EXPECT_THAT(hotKeys.deletedAtoms, ElementsAre(hotKeys.atomNumber, hotKeys.numbers.at("MyHotKey_3")));
}

TEST_F(MainFormTest, FloodLockEndsAfterFiveSeconds) {
  givenInstalled();
  form.create();
  form.startFloodLock();
  timers.advance(4999);
  EXPECT_TRUE(flags.floodLock);
  timers.advance(1);
  EXPECT_FALSE(flags.floodLock);
  EXPECT_EQ(view.status(0), "Glimor is now ready.");
  view.setStatus(0, "other");
  timers.advance(10000);
  EXPECT_EQ(view.status(0), "other") << "the anti-flood timer switches itself off";
}

TEST_F(MainFormTest, LinkPanelVisibilityIsAppliedByTheNextTick) {
  givenInstalled();
  form.create();
  form.showLinkPanelSoon(false);
  EXPECT_TRUE(view.linkPanelVisible);
  timers.advance(100);
  EXPECT_FALSE(view.linkPanelVisible);
}

} // namespace
} // namespace glimor::app
