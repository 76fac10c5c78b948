#include "capture/tool_window.h"

#include "capture/picture_ops.h"
#include "capture/print_layout.h"
#include "platform/error.h"
#include "platform/paths.h"

#include <cstdio>

namespace glimor::capture {

namespace {
const std::string printTitle = "Captured by Glimmor!";
const std::string fontFace = "Arial";
} // namespace

ToolWindow::ToolWindow(CaptureState& state, ToolOutcomes outcomes, CropOutput& output, ToolPlatform platform)
    : state_(state), outcomes_(outcomes), output_(output), platform_(platform) {}

void ToolWindow::confirm() {
  if (onConfirming_ && !state_.recording) onConfirming_();
  // A failure leaves the window open and unconfirmed, so the user can try again.
  if (!state_.recording)
    output_.writeCropFiles(state_.p, state_.selection, state_.display, state_.files, state_.uploadFile);
  state_.confirmed = true;
  {
    // The upload starts before the other files take the processor, and they follow whatever it does.
    struct Remaining {
      CropOutput& output;
      ~Remaining() { output.writeRemainingFiles(); }
    } remaining{output_};
    if (onConfirmed_ && !state_.recording) onConfirmed_();
  }
  platform_.selectionView.close();
}

void ToolWindow::cancel() {
  state_.confirmed = false;
  platform_.selectionView.close();
}

void ToolWindow::onTimer() {
  if (!platform_.selectionView.visible()) outcomes_.hotKeyReady = true;
  // The files written after the upload's own were not there to fail the confirm.
  if (std::string failure = output_.takeLateFailure(); !failure.empty()) throw Error(failure);
}

platform::SaveDialogSetup ToolWindow::saveDialogSetup(platform::ImageType type,
                                                      const platform::LocalTime& now,
                                                      const std::string& programFolder) {
  platform::SaveDialogSetup setup;
  setup.title = "Save Glimor-Cropped image";
  setup.filter = "JPEG Image File (*.jpg)|*.jpg|Bitmaps (*.bmp)|*.bmp|GIF (*.gif)|*.gif|PNG (*.png)|*.png|"
                 "All (*.jpg;*.bmp;*.gif;*.png)|*.jpg;*.bmp;*.gif;*.png";
  // The filter's first four entries follow the Options page's types in order.
  static constexpr const char* extensions[] = {"jpg", "jpg", "bmp", "gif", "png"};
  auto index = static_cast<int>(type);
  if (index < 0 || index > 4) index = 0;
  setup.filterIndex = index == 0 ? 1 : index;
  setup.defaultExtension = std::string("*.") + extensions[index];
  char name[96];
  std::snprintf(name, sizeof name, "Glimor-%04d-%02d-%02d-%02d%02d%02d.%s", now.year, now.month, now.day,
                now.hour, now.minute, now.second, extensions[index]);
  setup.fileName = name;
  setup.fallbackFolder = programFolder;
  setup.askBeforeOverwrite = true;
  setup.hideReadOnly = true;
  setup.resizable = true;
  return setup;
}

void ToolWindow::saveAs() {
  std::optional<std::string> name = platform_.saveDialog.ask(saveDialogSetup(
      platform_.options.imageType(), platform_.clock.now(), paths::folderOf(state_.files.bmp)));
  if (!name) return;
  try {
    Picture crop = cropOf(state_.p, state_.selection);
    // Only a file that was really written is reported as saved.
    if (output_.saveCropAs(crop, state_.display, *name)) {
      outcomes_.savedToFile = true;
      outcomes_.savedFileName = paths::fileNameOf(*name);
    }
  } catch (...) {
    cancel();
    throw;
  }
  cancel();
}

void ToolWindow::print() {
  Picture crop = cropOf(state_.p, state_.selection);
  if (!platform_.printer.setup()) return;
  platform_.cursor.setBusy(true);
  try {
    printPage(crop);
  } catch (...) {
    platform_.printer.abortJob();
    platform_.cursor.setBusy(false);
    throw;
  }
  platform_.cursor.setBusy(false);
}

void ToolWindow::printPage(const Picture& crop) {
  platform::Printer& printer = platform_.printer;
  printer.beginJob("Glimor");
  int dpi = printer.dpiY();
  int pageWidth = printer.pageWidth();

  printer.setFont(fontFace, titleFontHeight(dpi));
  int h = printer.textHeight("X");
  printer.textOut(centeredTextLeft(pageWidth, printer.textWidth(printTitle)), 3 * h, printTitle);

  Rect image = printedImageRect(pageWidth, h, crop.width, crop.height);
  printer.drawPicture(image, crop);

  printer.setFont(fontFace, footerFontHeight(dpi));
  const platform::Clock& clock = platform_.clock;
  std::string footer = footerText(clock.now(), clock.dateSeparator(), clock.timeSeparator());
  printer.textOut(image.left, printer.pageHeight() - printer.textHeight("X"), footer);
  printer.endJob();
}

} // namespace glimor::capture
