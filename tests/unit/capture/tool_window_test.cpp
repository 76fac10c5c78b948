#include "capture/tool_window.h"
#include "fakes/fake_crop_output.h"
#include "fakes/fake_option_controls.h"
#include "fakes/fake_printer.h"
#include "fakes/fake_selection_view.h"
#include "fakes/fake_small.h"
#include "platform/error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace glimor::capture {
namespace {

using ::testing::ElementsAre;

struct ToolWindowTest : ::testing::Test {
  CaptureState state;
  struct {
    bool hotKeyReady = false, savedToFile = false;
    std::string savedFileName;
  } flags;
  fakes::FakeCropOutput output;
  fakes::FakeSelectionView view;
  fakes::FakePrinter printer;
  fakes::FakeBusyCursor cursor;
  fakes::FakeClock clock;
  fakes::FakeSaveDialog dialog;
  fakes::FakeOptionControls options;
  ToolWindow tool{state,
                  {flags.hotKeyReady, flags.savedToFile, flags.savedFileName},
                  output,
                  {view, printer, cursor, clock, dialog, options}};

  ToolWindowTest() {
    state.p = Picture(400, 300, 0x112233);
    state.p.at(100, 50) = 0xABCDEF;
    state.selection = Rect{100, 50, 300, 200};
    state.files = cropFileNamesFor("C:\\Apps\\Glimor.exe");
    view.open = true;
  }
};

TEST_F(ToolWindowTest, ConfirmWritesTheCropAndCloses) {
  // The upload starts before the window goes, and before the files after its own are begun.
  std::vector<bool> openAtUploadStart;
  tool.setOnConfirmed([&] {
    openAtUploadStart.push_back(view.open);
    EXPECT_EQ(output.remainingStarts, 0);
  });
  view.open = true;
  tool.confirm();
  EXPECT_EQ(openAtUploadStart, std::vector<bool>{true});
  EXPECT_EQ(output.remainingStarts, 1);
  EXPECT_THAT(output.written, ElementsAre("C:\\Apps\\Glimor.bmp", "C:\\Apps\\Glimor.jpg",
                                          "C:\\Apps\\Glimor.gif", "C:\\Apps\\Glimor.png"));
  EXPECT_EQ(output.lastCrop.width, 200);
  EXPECT_EQ(output.lastCrop.height, 150);
  EXPECT_EQ(output.lastCrop.at(0, 0), 0xABCDEFu);
  EXPECT_EQ(output.lastBits, 32);
  EXPECT_TRUE(state.confirmed);
  EXPECT_FALSE(view.open);

  output.written.clear();
  view.open = true;
  state.recording = true; // what is recorded is the live screen: no crop file is written
  tool.confirm();
  EXPECT_TRUE(output.written.empty());
  EXPECT_EQ(openAtUploadStart.size(), 1u) << "a recording uploads when it stops";
  EXPECT_TRUE(state.confirmed);
  EXPECT_FALSE(view.open);
}

TEST_F(ToolWindowTest, AFailedConfirmLeavesTheWindowOpenAndUnconfirmed) {
  output.fails = true;
  EXPECT_THROW(tool.confirm(), Error);
  EXPECT_FALSE(state.confirmed);
  EXPECT_TRUE(view.open);
}

TEST_F(ToolWindowTest, CancelClosesUnconfirmed) {
  state.confirmed = true;
  tool.cancel();
  EXPECT_FALSE(state.confirmed);
  EXPECT_FALSE(view.open);
}

TEST_F(ToolWindowTest, SaveAsOpensTheConfiguredDialog) {
  tool.saveAs();
  EXPECT_EQ(dialog.setup.title, "Save Glimor-Cropped image");
  EXPECT_EQ(dialog.setup.filter,
            "JPEG Image File (*.jpg)|*.jpg|Bitmaps (*.bmp)|*.bmp|GIF (*.gif)|*.gif|PNG (*.png)|*.png|"
            "All (*.jpg;*.bmp;*.gif;*.png)|*.jpg;*.bmp;*.gif;*.png");
  EXPECT_EQ(dialog.setup.filterIndex, 1);
  EXPECT_EQ(dialog.setup.defaultExtension, "*.jpg");
  EXPECT_TRUE(dialog.setup.askBeforeOverwrite);
  // Named by the time of the save, of the chosen type; beside Glimor.exe only without Pictures.
  EXPECT_EQ(dialog.setup.fileName, "Glimor-2007-03-09-140500.jpg");
  EXPECT_EQ(dialog.setup.fallbackFolder, "C:\\Apps\\");
  // Cancelled: nothing written, the window stays.
  EXPECT_TRUE(output.written.empty());
  EXPECT_TRUE(view.open);
}

TEST_F(ToolWindowTest, TheSaveDialogOffersTheChosenTypeFirstAndJpegWithoutOne) {
  using platform::ImageType;
  platform::LocalTime at{2026, 12, 1, 9, 5, 7};
  auto png = ToolWindow::saveDialogSetup(ImageType::Png, at, "D:\\Glimor\\");
  EXPECT_EQ(png.fileName, "Glimor-2026-12-01-090507.png");
  EXPECT_EQ(png.filterIndex, 4);
  EXPECT_EQ(png.defaultExtension, "*.png");
  EXPECT_EQ(png.fallbackFolder, "D:\\Glimor\\");
  auto bmp = ToolWindow::saveDialogSetup(ImageType::Bmp, at, "");
  EXPECT_EQ(bmp.fileName, "Glimor-2026-12-01-090507.bmp");
  EXPECT_EQ(bmp.filterIndex, 2);
  auto none = ToolWindow::saveDialogSetup(ImageType::None, at, "");
  EXPECT_EQ(none.fileName, "Glimor-2026-12-01-090507.jpg");
  EXPECT_EQ(none.filterIndex, 1);
  EXPECT_EQ(none.defaultExtension, "*.jpg");
}

TEST_F(ToolWindowTest, SaveAsWritesOneFileAndEndsTheSelection) {
  dialog.answer = "D:\\Pictures\\Shot.BMP";
  tool.saveAs();
  EXPECT_THAT(output.written, ElementsAre("D:\\Pictures\\Shot.BMP"));
  EXPECT_TRUE(flags.savedToFile);
  EXPECT_EQ(flags.savedFileName, "Shot.BMP");
  EXPECT_FALSE(state.confirmed);
  EXPECT_FALSE(view.open);
}

TEST_F(ToolWindowTest, SaveAsToAnUnknownTypeWritesNothingButEndsTheSelection) {
  dialog.answer = "D:\\Pictures\\Shot.png";
  tool.saveAs();
  EXPECT_TRUE(output.written.empty());
  EXPECT_FALSE(flags.savedToFile);
  EXPECT_FALSE(view.open);
}

TEST_F(ToolWindowTest, AFailedSaveIsReportedAndStillEndsTheSelection) {
  dialog.answer = "Q:\\nowhere\\a.jpg";
  output.fails = true;
  EXPECT_THROW(tool.saveAs(), Error);
  EXPECT_FALSE(flags.savedToFile);
  EXPECT_FALSE(view.open);
}

TEST_F(ToolWindowTest, PrintsTitleImageAndFooterOnOnePage) {
  tool.print();
  EXPECT_THAT(printer.calls, ElementsAre("begin", "font Arial 100", "text 1800,300 Captured by Glimmor!",
                                         "picture", "font Arial 67", "text 576,6533 3/9/07  14:05", "end"));
  EXPECT_EQ(printer.drawnRect, (Rect{576, 500, 576 + 3648, 500 + 2736}));
  EXPECT_EQ(printer.drawn.at(0, 0), 0xABCDEFu);
  EXPECT_THAT(cursor.changes, ElementsAre(true, false));
  EXPECT_TRUE(view.open);
  EXPECT_EQ(state.selection, (Rect{100, 50, 300, 200}));
}

TEST_F(ToolWindowTest, CancelledPrinterSetupPrintsNothing) {
  printer.accept = false;
  tool.print();
  EXPECT_TRUE(printer.calls.empty());
  EXPECT_TRUE(cursor.changes.empty());
}

TEST_F(ToolWindowTest, APrintErrorResetsTheCursorAndAbortsTheJob) {
  printer.drawFails = true;
  EXPECT_THROW(tool.print(), Error);
  EXPECT_FALSE(cursor.busy);
  EXPECT_FALSE(printer.jobOpen);
  EXPECT_EQ(printer.calls.back(), "abort");
}

TEST_F(ToolWindowTest, TimerReArmsTheHotKeyOnlyWhileTheSelectionIsHidden) {
  flags.hotKeyReady = false;
  tool.onTimer();
  EXPECT_FALSE(flags.hotKeyReady);
  view.open = false;
  tool.onTimer();
  EXPECT_TRUE(flags.hotKeyReady);
}

} // namespace
} // namespace glimor::capture
