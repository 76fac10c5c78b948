#pragma once
#include "capture/capture_state.h"
#include "capture/crop_output.h"
#include "platform/busy_cursor.h"
#include "platform/clock.h"
#include "platform/option_controls.h"
#include "platform/printer.h"
#include "platform/save_dialog.h"
#include "platform/selection_view.h"

#include <functional>
#include <string>

namespace glimor::capture {

// What the tool window tells the rest of the program, in flags it alone writes while it runs.
struct ToolOutcomes {
  bool& hotKeyReady;          // the selection closed: the hot key may start a capture again
  bool& savedToFile;          // "Save" wrote the crop
  std::string& savedFileName; // the file's name, without its folder
};

struct ToolPlatform {
  platform::SelectionView& selectionView;
  platform::Printer& printer;
  platform::BusyCursor& cursor;
  platform::Clock& clock;
  platform::SaveDialog& saveDialog;
  const platform::OptionControls& options; // the file type a save offers first
};

// The never-shown tool window: the panel's confirm, cancel, print and save-as
// actions, and the one-second re-arming of the hot key.
class ToolWindow {
public:
  ToolWindow(CaptureState& state, ToolOutcomes outcomes, CropOutput& output, ToolPlatform platform);

  void confirm();
  void cancel();
  void print();
  void saveAs();  // the selection window's "S a v e"
  void onTimer(); // every 1000 ms
  // Runs once the confirm has written the files, before the window closes: the upload starts.
  void setOnConfirmed(std::function<void()> onConfirmed) { onConfirmed_ = std::move(onConfirmed); }
  // Runs as a confirm that publishes begins, before the files are made: the upload gets ready.
  void setOnConfirming(std::function<void()> onConfirming) { onConfirming_ = std::move(onConfirming); }

  // The dialog of a save at `now`: the name "Glimor-YYYY-MM-DD-HHMMSS" of the chosen file type (JPEG
  // when none), that type's filter entry; the program's folder where the user has no Pictures folder.
  static platform::SaveDialogSetup saveDialogSetup(platform::ImageType type, const platform::LocalTime& now,
                                                   const std::string& programFolder);

private:
  void printPage(const Picture& crop);

  CaptureState& state_;
  ToolOutcomes outcomes_;
  CropOutput& output_;
  ToolPlatform platform_;
  std::function<void()> onConfirmed_, onConfirming_;
};

} // namespace glimor::capture
