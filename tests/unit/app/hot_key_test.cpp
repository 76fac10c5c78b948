#include "capture/picture_ops.h"
#include "capture/selection_window.h"
#include "fakes/fake_clipboard.h"
#include "fakes/fake_files.h"
#include "fakes/fake_frame_source.h"
#include "fakes/fake_text_glyphs.h"
#include "fakes/main_form_rig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace glimor::app {
namespace {

using platform::ImageType;
using ::testing::ElementsAre;

struct HotKeyTest : ::testing::Test, fakes::MainFormRig {
  HotKeyTest() {
    givenInstalled();
    form.create();
  }
  std::uint16_t id() { return hotKeys.atomNumber; }
};

TEST_F(HotKeyTest, StartUpRegistersTheStoredCombination) {
  EXPECT_EQ(hotKeys.registered[id()], std::make_pair(1u, 0x71u)); // Alt+F2 by default
  EXPECT_EQ(ini("HotKey"), "32881");
  EXPECT_EQ(view.hotKeyName, "Alt+F2"); // named on the first page
}

TEST_F(HotKeyTest, StoredHexCombinationIsRegistered) {
  fakes::MainFormRig other;
  other.givenInstalled();
  other.profile.values[{"Options", "HotKey"}] = "0x4072";
  other.form.create();
  EXPECT_EQ(other.options.shortcut, 16498);
  EXPECT_EQ(other.hotKeys.registered[other.hotKeys.atomNumber], std::make_pair(2u, 0x72u));
}

TEST_F(HotKeyTest, ModifiersAloneChangeNothingThenTheFullCombinationRegisters) {
  form.onHotKeyFocus();
  EXPECT_FALSE(flags.hotKeyReady);
  options.shortcut = 0x4000; // Ctrl only
  form.onHotKeyChanged();
  EXPECT_EQ(ini("HotKey"), "32881");
  EXPECT_FALSE(flags.hotKeyReady);
  options.shortcut = 16498; // Ctrl+F3
  form.onHotKeyChanged();
  EXPECT_EQ(ini("HotKey"), "16498");
  EXPECT_EQ(hotKeys.registered[id()], std::make_pair(2u, 0x72u));
  EXPECT_EQ(view.hotKeyName, "Ctrl+F3");
  EXPECT_TRUE(flags.hotKeyReady);
  EXPECT_EQ(hotKeys.atomReferences["MyHotKey_1"], 2);
}

TEST_F(HotKeyTest, AKeyWithoutModifierIsRefused) {
  options.shortcut = 0x72; // F3 alone
  form.onHotKeyChanged();
  EXPECT_THAT(messages.shown, ElementsAre("You must select at least one modifier: CTRL, ALT, SHIFT."));
  EXPECT_EQ(ini("HotKey"), "32881");
  EXPECT_EQ(hotKeys.registered[id()], std::make_pair(1u, 0x71u));
  form.onHotKeyBlur();
  EXPECT_EQ(options.shortcut, 32881); // the control shows what works again
  EXPECT_EQ(view.hotKeyName, "Alt+F2") << "the first page names the key that works";
}

TEST_F(HotKeyTest, OneKeyWithoutModifierGivesOneMessage) {
  // While the message is open the control loses the focus, is given the combination in force
  // back, and then the character the key typed reaches it: the same key, reported again.
  int opened = 0;
  messages.whileOpen = [&] {
    if (++opened > 1) return;
    form.onHotKeyBlur();
    options.shortcut = 0x41; // A alone
    form.onHotKeyChanged();
  };
  form.onHotKeyFocus();
  options.shortcut = 0x41;
  form.onHotKeyChanged();
  EXPECT_THAT(messages.shown, ElementsAre("You must select at least one modifier: CTRL, ALT, SHIFT."));
  EXPECT_EQ(options.shortcut, 32881) << "the control shows the combination that works";
  EXPECT_EQ(ini("HotKey"), "32881");
  EXPECT_EQ(hotKeys.registered[id()], std::make_pair(1u, 0x71u));
  options.shortcut = 0x42; // the next key is a message of its own
  form.onHotKeyChanged();
  EXPECT_EQ(messages.shown.size(), 2u);
}

TEST_F(HotKeyTest, AModifierLetGoAloneLeavesTheCombinationInForce) {
  form.onHotKeyFocus();
  options.shortcut = 0; // Ctrl pressed and released: the control empties
  form.onHotKeyChanged();
  EXPECT_EQ(ini("HotKey"), "32881");
  EXPECT_EQ(hotKeys.registered[id()], std::make_pair(1u, 0x71u));
  EXPECT_THAT(messages.shown, ::testing::IsEmpty());
  form.onHotKeyBlur();
  EXPECT_EQ(options.shortcut, 32881);
}

TEST_F(HotKeyTest, AStoredCombinationThatCannotWorkGivesWayToTheDefault) {
  for (const char* stored : {"0", "114"}) { // nothing, F3 alone
    fakes::MainFormRig other;
    other.givenInstalled();
    other.profile.values[{"Options", "HotKey"}] = stored;
    other.form.create();
    EXPECT_EQ(other.options.shortcut, 32881) << stored;
    EXPECT_EQ(other.hotKeys.registered[other.hotKeys.atomNumber], std::make_pair(1u, 0x71u)) << stored;
    EXPECT_EQ(other.ini("HotKey"), "32881") << stored;
  }
}

TEST_F(HotKeyTest, GatesInOrder) {
  flags.floodLock = true;
  flags.downloading = true;
  form.onHotKey(id());
  EXPECT_EQ(view.status(0), "AntiFlood protection: Please wait 5 seconds.");
  EXPECT_EQ(messages.beeps, 0);

  flags.floodLock = false;
  form.onHotKey(id());
  EXPECT_EQ(messages.beeps, 1);

  flags.downloading = false;
  form.onHotKey(id() + 1);
  view.setStatus(0, "Uploading image...");
  form.onHotKey(id());
  EXPECT_EQ(messages.beeps, 1);
  EXPECT_EQ(screen.grabs, 0);

  view.setStatus(0, "");
  selectionView.open = true;
  form.onHotKey(id());
  EXPECT_EQ(messages.beeps, 2);
  selectionView.open = false;

  flags.hotKeyReady = false;
  form.onHotKey(id());
  EXPECT_EQ(screen.grabs, 0);
  EXPECT_EQ(selectionView.modalShows, 0);
}

TEST_F(HotKeyTest, TheUploadsOwnFlagHoldsTheKeyWhenTheStatusLineWasTakenOver) {
  bool uploading = true;
  form.setUploadRunning([&] { return uploading; });
  view.setStatus(0, "Sending your feedback..."); // the feedback form wrote over "Uploading image..."
  form.onHotKey(id());
  EXPECT_EQ(screen.grabs, 0);
  EXPECT_EQ(messages.beeps, 0);

  uploading = false;
  form.onHotKey(id());
  EXPECT_EQ(screen.grabs, 1);
}

TEST_F(HotKeyTest, AKeyRefusedByTheLockOrARunningUploadSaysWhyInABalloon) {
  form.startFloodLock();
  timers.advance(2100);
  form.onHotKey(id());
  timers.advance(2800);
  form.onHotKey(id());
  EXPECT_EQ(view.status(0), "AntiFlood protection: Please wait 5 seconds.");
  timers.advance(100); // the lock's end
  EXPECT_EQ(view.status(0), "Glimor is now ready.");
  bool uploading = true;
  form.setUploadRunning([&] { return uploading; });
  form.onHotKey(id());
  EXPECT_THAT(tray.balloons,
              ElementsAre("info: Wait 3 s: the last upload was moments ago.",
                          "info: Wait 1 s: the last upload was moments ago.", "info: " + uploadRunningText));
  EXPECT_EQ(screen.grabs, 0);
}

// Glimor's own window is no part of the picture, and the screen behind it is drawn again before the
// grab; afterwards the windows are as they were, the keyboard with the window that had it.
TEST_F(HotKeyTest, ACancelledSelectionLeavesTheWindowsAsTheyWere) {
  view.shown = true;
  screen.onGrab = [&] {
    EXPECT_FALSE(view.shown) << "the main window is in the picture";
    selectionView.events.push_back("grab");
  };
  selectionView.user = [&] {
    EXPECT_EQ(view.status(0), "Now select a part of picture that you want to be cropped.");
    EXPECT_FALSE(view.shown);
    EXPECT_EQ(capture.p.width, 64);
    selectionView.close();
  };
  form.onHotKey(id());
  EXPECT_EQ(view.status(0), "Cropping picture canceled.");
  EXPECT_TRUE(view.shown);
  EXPECT_EQ(view.shownInactive, 1);
  EXPECT_EQ(view.activePage, 0);
  EXPECT_THAT(selectionView.events,
              ElementsAre("remember foreground", "settle", "grab", "restore foreground"));

  // Nothing of ours on the screen: the grab is not held up. A selection copied to the clipboard
  // ended the window, and is said so, not cancelled.
  view.shown = false;
  selectionView.events.clear();
  selectionView.user = [&] {
    capture.copied = true;
    selectionView.close();
  };
  form.onHotKey(id());
  EXPECT_FALSE(view.shown);
  EXPECT_THAT(selectionView.events, ElementsAre("remember foreground", "grab", "restore foreground"));
  EXPECT_EQ(view.status(0), "Selection copied to the clipboard.");
}

TEST_F(HotKeyTest, ConfirmedSelectionHandsTheChosenFileToTheUpload) {
  int uploads = 0;
  form.setUploadStarter([&] { ++uploads; });
  options.type = ImageType::Bmp;
  capture.files.bmp = "C:\\Apps\\Glimor.bmp";
  capture.files.jpg = "C:\\Apps\\Glimor.jpg";
  std::vector<int> uploadsAtConfirm;
  selectionView.user = [&] {
    capture.confirmed = true;
    form.publishConfirmed(); // as the confirm does, before the window has gone
    uploadsAtConfirm.push_back(uploads);
  };
  form.onHotKey(id());
  EXPECT_EQ(view.uploadFile, "C:\\Apps\\Glimor.bmp");
  EXPECT_EQ(uploadsAtConfirm, std::vector<int>{1});
  EXPECT_EQ(uploads, 1) << "started once";
  EXPECT_FALSE(view.shown) << "the upload leaves the focus where the user works";
  EXPECT_EQ(view.broughtToFront, 0);
  EXPECT_EQ(view.status(0), "Setting picture type...");
  options.type = ImageType::Png;
  capture.files.png = "C:\\Apps\\Glimor.png";
  form.onHotKey(id());
  EXPECT_EQ(view.uploadFile, "C:\\Apps\\Glimor.png");
  EXPECT_EQ(uploads, 2);
}

// Windows gives a per-monitor aware program every monitor in physical pixels whatever its scaling;
// the capture must take them as they are. A 150 % monitor (48 x 24 pixels) left of the primary one
// and lower, so the virtual screen has a gap above it.
TEST_F(HotKeyTest, EveryMonitorIsCapturedInPhysicalPixelsAndAGapIsBlack) {
  using screen::Rect;
  screen.screens = {{{0, 0, 64, 48}, 96, true}, {{-48, 24, 0, 48}, 144, false}};
  screen.originX = -48;
  screen.picture = screen::Picture(112, 48);
  for (std::size_t i = 0; i < screen.picture.pixels.size(); ++i) screen.picture.pixels[i] = 0x100000u + i;
  auto desktop = [&](int x, int y) { return screen.picture.at(x + 48, y); }; // by screen pixel
  screen.shown = {{{-60, -10, -20, 10}, {}}}; // a window reaching beyond the virtual screen's corner
  fakes::FakeTextGlyphs glyphs;
  fakes::FakePictureClipboard clipboard;
  capture::SelectionWindow selection(capture, selectionView, [] { return false; }, "C:\\Apps\\Glimor.exe", {},
                                     {glyphs, messages, profile, clipboard});
  screen::Picture crop;
  selectionView.user = [&] {
    selection.onMouseDown(20, 30); // on the 150 % monitor
    selection.onMouseUp(80, 40);   // on the primary one
    crop = capture::cropOf(capture.p, capture.selection);
    EXPECT_EQ(selectionView.panelDpi, 96);
    selection.onMouseDown(10, 40);
    selection.onMouseUp(10, 40);
    EXPECT_EQ(capture.selection, (Rect{0, 24, 48, 48})) << "a click takes the monitor under it";
    EXPECT_EQ(selectionView.panelDpi, 144);
    selection.onMouseDown(20, 5);
    selection.onMouseUp(20, 5);
    EXPECT_EQ(capture.selection, (Rect{0, 0, 28, 10})) << "a click on a window takes what is captured of it";
  };
  form.onHotKey(id());
  EXPECT_EQ(capture.screen.area, (Rect{-48, 0, 64, 48}));
  ASSERT_EQ(capture.p.width, 112);
  EXPECT_EQ(capture.snapshot.at(47, 23), 0u);
  EXPECT_EQ(capture.snapshot.at(0, 0), 0u);
  EXPECT_EQ(capture.snapshot.at(0, 24), desktop(-48, 24));
  EXPECT_EQ(capture.snapshot.at(111, 0), desktop(63, 0));
  ASSERT_EQ(crop.width, 60);
  ASSERT_EQ(crop.height, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 60; ++x) ASSERT_EQ(crop.at(x, y), desktop(x - 28, y + 30)) << x << "," << y;

  options.setChecked(platform::CheckBox::AllMonitors, false);
  selectionView.user = nullptr;
  form.onHotKey(id());
  EXPECT_EQ(capture.screen.area, (Rect{0, 0, 64, 48}));
  EXPECT_EQ(capture.p.width, 64);
  EXPECT_EQ(capture.p.at(0, 0), desktop(0, 0));
  EXPECT_TRUE(capture.windows.empty()) << "the window lies beyond the primary monitor";

  profile.values[{"Options", "SnapWindows"}] = "0";
  screen.shown = {{{0, 0, 20, 20}, {}}};
  int listed = screen.windowLists;
  form.onHotKey(id());
  EXPECT_EQ(screen.windowLists, listed) << "SnapWindows=0 lists no windows";
  EXPECT_TRUE(capture.windows.empty());
}

TEST_F(HotKeyTest, WithoutAFileTypeTheUploadFileStaysAsItWas) {
  options.type = ImageType::None;
  view.uploadFile = "C:\\old.gif";
  capture.files.jpg = "C:\\Apps\\Glimor.jpg";
  selectionView.user = [&] { capture.confirmed = true; };
  form.onHotKey(id());
  EXPECT_EQ(view.uploadFile, "C:\\old.gif");
}

TEST_F(HotKeyTest, SavedSelectionNamesTheFile) {
  flags.savedToFile = true; // left from an earlier capture: cleared before the window opens
  selectionView.user = [&] {
    EXPECT_FALSE(flags.savedToFile);
    flags.savedToFile = true;
    flags.savedFileName = "shot.png.gif";
  };
  form.onHotKey(id());
  EXPECT_EQ(view.status(0), "Saved to file shot.png.gif");
}

TEST_F(HotKeyTest, APressDuringTheSelectionOnlyBeeps) {
  selectionView.user = [&] { form.onHotKey(id()); };
  form.onHotKey(id());
  EXPECT_EQ(messages.beeps, 1);
  EXPECT_EQ(screen.grabs, 1);
}

TEST_F(HotKeyTest, TheLastRegionKeyIsNoneUntilSetAndGoesWhenEmptied) {
  EXPECT_EQ(options.lastRegionShortcut, 0);
  options.lastRegionShortcut = 0x72; // F3 alone
  form.onLastRegionHotKeyChanged();
  options.lastRegionShortcut = 32881; // the capture key's Alt+F2
  form.onLastRegionHotKeyChanged();
  EXPECT_THAT(messages.shown, ElementsAre("You must select at least one modifier: CTRL, ALT, SHIFT.",
                                          "The last region's hot key must differ from the capture hot key."));
  EXPECT_EQ(options.lastRegionShortcut, 0) << "the control shows what is in force";
  EXPECT_EQ(hotKeys.registered.size(), 2u) << "the capture and record keys";

  options.lastRegionShortcut = 0x6072; // Ctrl+Shift+F3
  form.onLastRegionHotKeyChanged();
  std::uint16_t second = hotKeys.numbers.at("MyHotKey_2");
  EXPECT_EQ(hotKeys.registered[second], std::make_pair(6u, 0x72u));
  EXPECT_EQ(ini("LastRegionHotKey"), "24690");
  options.shortcut = 0x6072; // and the capture key may not take it over
  form.onHotKeyChanged();
  EXPECT_EQ(messages.shown.back(), "The last region's hot key must differ from the capture hot key.");
  EXPECT_EQ(options.shortcut, 32881);
  EXPECT_EQ(ini("HotKey"), "32881");
  options.lastRegionShortcut = 0;
  form.onLastRegionHotKeyBlur();
  EXPECT_EQ(hotKeys.registered.count(second), 0u);
  EXPECT_EQ(ini("LastRegionHotKey"), "0");
}

// The last region: the last selection published or saved, in screen pixels, opened selected.
struct LastRegionTest : HotKeyTest {
  fakes::FakeTextGlyphs glyphs;
  fakes::FakePictureClipboard clipboard;
  int confirms = 0;
  capture::SelectionWindow selection{
      capture,
      selectionView,
      [] { return false; },
      "C:\\Apps\\Glimor.exe",
      capture::PanelActions{[this] { ++confirms, capture.confirmed = true; }, {}, {}, {}},
      {glyphs, messages, profile, clipboard}};
  LastRegionTest() {
    options.lastRegionShortcut = 0x6072;
    form.onLastRegionHotKeyChanged();
  }
  std::uint16_t lastRegionKey() { return hotKeys.numbers.at("MyHotKey_2"); }
  // The user drags from (x0, y0) to (x1, y1) and publishes, or with `escape` cancels.
  void drag(int x0, int y0, int x1, int y1, char key = '\r') {
    selectionView.user = [=, this] {
      selection.onShow();
      selection.onMouseDown(x0, y0);
      selection.onMouseUp(x1, y1);
      selection.onKeyPress(key);
    };
    form.onHotKey(id());
  }
};

TEST_F(LastRegionTest, OpensWithTheLastPublishedRegionOnTheSameScreenPlace) {
  drag(5, 5, 40, 40, 27); // a cancelled selection is no region
  form.onHotKey(lastRegionKey());
  form.onTrayCaptureLastRegion();
  EXPECT_EQ(selectionView.modalShows, 1);
  EXPECT_EQ(view.status(0), "No region to capture again yet: publish, save or copy a selection first.");
  EXPECT_EQ(tray.balloons.size(), 2u);

  screen.screens = {{{0, 0, 64, 48}, 96, true}, {{-48, 0, 0, 48}, 96, false}};
  drag(72, 35, 50, 10); // picture pixels: the screen's x 2 to 24
  EXPECT_EQ(ini("LastRegion"), "2,10,24,35");
  options.setChecked(platform::CheckBox::AllMonitors, false); // now the picture starts at the screen's 0
  selectionView.user = [&] {
    selection.onShow();
    EXPECT_EQ(capture.selection, (screen::Rect{2, 10, 24, 35}));
    EXPECT_TRUE(selectionView.panelVisible);
    EXPECT_EQ(selectionView.glimoCaption, "Glimo Selection !");
    selection.onKeyPress('\r');
  };
  form.onTrayCaptureLastRegion();
  EXPECT_EQ(confirms, 2);

  // The next run has it from Glimor.ini; one no longer on the screen, or not a region, is ignored.
  // The bounds are exclusive: a region up to the screen's right and bottom edges lies on it.
  for (const char* stored : {"2,10,24,35", "0,0,64,48", "2,10,24,49", "2,10,65,35", "-1,10,24,35",
                             "24,10,2,35", "2,10,24", "2;10;24;35"}) {
    fakes::MainFormRig next;
    next.profile = profile;
    next.profile.values[{"Options", "LastRegion"}] = stored;
    next.form.create();
    next.form.onTrayCaptureLastRegion();
    const bool onScreen = std::string(stored) == "2,10,24,35" || std::string(stored) == "0,0,64,48";
    EXPECT_EQ(next.selectionView.modalShows, onScreen ? 1 : 0) << stored;
  }
}

TEST_F(LastRegionTest, EveryGateHoldsTheLastRegionAndTheDelayedCapture) {
  drag(5, 5, 40, 40);
  std::function<void()> starts[] = {[&] { form.onHotKey(lastRegionKey()); },
                                    [&] { form.onTrayCaptureLastRegion(); },
                                    [&] {
                                      form.onTrayCaptureDelayed();
                                      timers.advance(3000);
                                    }};
  for (auto& start : starts) {
    int grabs = screen.grabs, beeps = messages.beeps;
    flags.floodLock = true;
    start();
    EXPECT_EQ(view.status(0), "AntiFlood protection: Please wait 5 seconds.");
    flags.floodLock = false;
    flags.downloading = true;
    start(); // a beep
    flags.downloading = false;
    view.setStatus(0, "Uploading image...");
    start();
    view.setStatus(0, "");
    selectionView.user = [&] { start(); }; // a beep: the window is open
    start();
    EXPECT_EQ(messages.beeps, beeps + 2);
    EXPECT_EQ(screen.grabs, grabs + 1);
  }
}

TEST_F(LastRegionTest, TheDelayedCaptureCountsDownInTheTipThenCaptures) {
  form.onTrayCaptureDelayed();
  form.onTrayCaptureDelayed(); // a second click does not start it again
  timers.advance(2999);
  EXPECT_EQ(screen.grabs, 0);
  EXPECT_THAT(tray.tips,
              ElementsAre("Glimor! Capture in 3 s", "Glimor! Capture in 2 s", "Glimor! Capture in 1 s"));
  screen.onGrab = [&] { selectionView.events.push_back("grab"); };
  timers.advance(1);
  EXPECT_EQ(screen.grabs, 1);
  EXPECT_THAT(tray.tips, ElementsAre("Glimor! Capture in 3 s", "Glimor! Capture in 2 s",
                                     "Glimor! Capture in 1 s", "Glimor!", "(dismissed)"))
      << "the tip reads as usual and is off the screen before the screen is taken";
  EXPECT_THAT(selectionView.events,
              ElementsAre("remember foreground", "settle", "grab", "restore foreground"));

  form.onTrayCaptureDelayed(); // an upload begins meanwhile: the gates hold at the end too
  view.setStatus(0, "Uploading image...");
  timers.advance(3000);
  view.setStatus(0, "");
  form.onTrayCaptureDelayed(); // the hot key comes first: that capture ends the countdown
  form.onHotKey(id());
  timers.advance(3000);
  EXPECT_EQ(screen.grabs, 2);
  EXPECT_EQ(tray.tips.back(), "Glimor!");
  EXPECT_EQ(selectionView.events.size(), 7u) << "the hot key's capture has nothing to wait for";
}

// "Record a region": the record hot key selects, records, and stops; the file goes up the road.
struct RecordKeyTest : HotKeyTest {
  fakes::FakeFrameSource source;
  fakes::FakeRecordingView recordingView;
  fakes::FakeFiles files;
  Recorder recorder{{source, recordingView, tray, timers, messages, files, profile, view},
                    "C:\\Apps\\Glimor.exe",
                    [this](const std::string& file) { form.uploadFile(file); }};
  int uploads = 0;
  RecordKeyTest() {
    form.setRecorder(recorder);
    form.setUploadStarter([&] { ++uploads; });
    selectionView.user = [&] {
      capture.selection = {10, 8, 40, 30};
      capture.confirmed = true;
    };
  }
  std::uint16_t recordId() { return hotKeys.numbers.at("MyHotKey_3"); }
  // Starts a recording and lets it grab three frames before it goes on freely.
  void startRecording(const std::function<void()>& start) {
    source.holdAt = source.grabsSoFar() + 3;
    start();
    source.waitUntilHeld();
    source.release();
  }
};

TEST_F(RecordKeyTest, ThePressSelectsRecordsAndThePressAgainUploadsTheFile) {
  EXPECT_EQ(hotKeys.registered[recordId()], std::make_pair(5u, 0x71u)) << "Shift+Alt+F2 by default";
  EXPECT_EQ(ini("RecordHotKey"), "41073");
  startRecording([&] { form.onHotKey(recordId()); });
  EXPECT_TRUE(capture.recording) << "the selection is of what to record";
  EXPECT_TRUE(recordingView.shown);
  EXPECT_EQ(recordingView.area, (screen::Rect{10, 8, 40, 30}));
  EXPECT_TRUE(tray.recordingIcon);
  EXPECT_EQ(tray.tips.back(), "Recording 0:00");
  EXPECT_EQ(uploads, 0);

  form.onHotKey(id()); // a capture waits for the recording's end, and says so
  EXPECT_EQ(tray.balloons.back(), "info: " + recordingRunsText);
  EXPECT_EQ(screen.grabs, 1);

  form.onHotKey(recordId());
  EXPECT_FALSE(recordingView.shown);
  EXPECT_FALSE(tray.recordingIcon);
  EXPECT_EQ(tray.tips.back(), "Glimor!");
  const platform::Bytes& gif = files.contents.at("C:\\Apps\\GlimorRecording.gif");
  EXPECT_EQ(std::string(gif.begin(), gif.begin() + 6), "GIF89a");
  EXPECT_EQ(view.uploadFile, "C:\\Apps\\GlimorRecording.gif");
  EXPECT_EQ(uploads, 1);
  EXPECT_EQ(screen.grabs, 1) << "the press that stops starts nothing";
}

TEST_F(RecordKeyTest, DiscardingLeavesNoFileAndWebMIsWrittenWhereChosen) {
  startRecording([&] { form.onTrayRecord(); });
  form.onTrayDiscardRecording();
  EXPECT_FALSE(recordingView.shown);
  EXPECT_TRUE(files.contents.empty());
  EXPECT_EQ(uploads, 0);

  form.onRecordingTypeSelected(platform::RecordingType::WebM);
  EXPECT_EQ((profile.values[{"Record", "Type"}]), "WebM");
  startRecording([&] { form.onTrayRecord(); });
  form.onTrayStopRecording();
  ASSERT_EQ(files.contents.count("C:\\Apps\\GlimorRecording.webm"), 1u) << tray.balloons.back();
  const platform::Bytes& webm = files.contents.at("C:\\Apps\\GlimorRecording.webm");
  EXPECT_EQ(std::vector<std::uint8_t>(webm.begin(), webm.begin() + 4),
            (std::vector<std::uint8_t>{0x1A, 0x45, 0xDF, 0xA3}));
  EXPECT_EQ(view.uploadFile, "C:\\Apps\\GlimorRecording.webm");
  EXPECT_EQ(files.contents.count("C:\\Apps\\GlimorRecording.gif"), 0u)
      << "the other type's file is left alone";

  selectionView.user = [&] {}; // Esc: nothing is recorded
  form.onTrayRecord();
  EXPECT_FALSE(recordingView.shown);
  EXPECT_EQ(uploads, 1);
}

TEST_F(RecordKeyTest, TheLongestLengthStopsTheRecordingByItself) {
  profile.write("Record", "Seconds", "2");
  form.onHotKey(recordId());
  // The grabs end at two seconds of the source's clock, and the next tick after that stops.
  for (int ticks = 0; recordingView.shown && ticks < 100000; ++ticks) {
    std::this_thread::yield();
    timers.advance(200);
  }
  EXPECT_FALSE(recordingView.shown);
  EXPECT_EQ(source.nowMs(), 7000u);
  // The source takes 100 ms a grab: ten frames a second of the fifteen asked for.
  EXPECT_EQ(view.status(0).substr(0, 40), "Recorded 0:02 in 20 frames, 10 missed (g");
  EXPECT_EQ(uploads, 1);
  EXPECT_EQ(tray.tips.back(), "Glimor!");
}

TEST_F(RecordKeyTest, TheRecordKeyCannotTakeAnotherKeysCombination) {
  options.recordShortcut = 32881; // Alt+F2, the capture key's
  form.onRecordHotKeyChanged();
  EXPECT_EQ(messages.shown.back(), "The record hot key must differ from the other hot keys.");
  EXPECT_EQ(options.recordShortcut, 41073);
  options.shortcut = 41073; // nor the capture key the record key's
  form.onHotKeyChanged();
  EXPECT_EQ(messages.shown.back(), "The record hot key must differ from the other hot keys.");
  options.recordShortcut = 0;
  form.onRecordHotKeyBlur();
  EXPECT_EQ(hotKeys.registered.count(recordId()), 0u);
  EXPECT_EQ(ini("RecordHotKey"), "0");

  fakes::MainFormRig other; // a stored key of another's is dropped without a word at the start
  other.givenInstalled();
  other.profile.values[{"Options", "HotKey"}] = "41073";
  other.form.create();
  EXPECT_EQ(other.options.recordShortcut, 0);
  EXPECT_TRUE(other.messages.shown.empty());
}

} // namespace
} // namespace glimor::app
