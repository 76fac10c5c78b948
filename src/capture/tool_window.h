#pragma once
#include "app/program_flags.h"
#include "capture/capture_state.h"
#include "capture/crop_output.h"
#include "platform/busy_cursor.h"
#include "platform/clock.h"
#include "platform/option_controls.h"
#include "platform/printer.h"
#include "platform/save_dialog.h"
#include "platform/selection_view.h"

#include <functional>

namespace glimor::capture {

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
  ToolWindow(CaptureState& state, app::ProgramFlags& flags, CropOutput& output, ToolPlatform platform);

  void confirm();
  void cancel();
  void print();
  void saveAs();  // the selection window's "S a v e"
  void onTimer(); // every 1000 ms
  // Runs once the confirm has written the files, before the window closes: the upload starts.
  void setOnConfirmed(std::function<void()> onConfirmed) { onConfirmed_ = std::move(onConfirmed); }

  // The dialog of a save at `now`: the name "Glimor-YYYY-MM-DD-HHMMSS" of the chosen file type (JPEG
  // when none), that type's filter entry; the program's folder where the user has no Pictures folder.
  static platform::SaveDialogSetup saveDialogSetup(platform::ImageType type, const platform::LocalTime& now,
                                                   const std::string& programFolder);

private:
  void printPage(const Picture& crop);

  CaptureState& state_;
  app::ProgramFlags& flags_;
  CropOutput& output_;
  ToolPlatform platform_;
  std::function<void()> onConfirmed_;
};

} // namespace glimor::capture
