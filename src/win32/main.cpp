// Glimor.exe: the start-up stages, then the three windows and the message loop.
#include "app/main_form.h"
#include "app/startup.h"
#include "capture/imaging_crop_output.h"
#include "capture/selection_window.h"
#include "capture/tool_window.h"
#include "os/win32/wide_text.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "win32/application_window.h"
#include "win32/busy_cursor.h"
#include "win32/clock.h"
#include "win32/frame_source.h"
#include "win32/hot_keys.h"
#include "win32/main_window.h"
#include "win32/messages.h"
#include "win32/network_features.h"
#include "win32/printer.h"
#include "win32/profile.h"
#include "win32/recording_view.h"
#include "win32/registry.h"
#include "win32/save_dialog.h"
#include "win32/screen.h"
#include "win32/selection_window.h"
#include "win32/shell.h"
#include "win32/text_glyphs.h"
#include "win32/timers.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windows.h>

#include <vector>

namespace {

std::vector<std::string> commandLine() {
  std::vector<std::string> arguments;
  int count = 0;
  if (wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    for (int i = 0; i < count; ++i) arguments.push_back(glimor::win32::narrow(words[i]));
    ::LocalFree(words);
  }
  // Argument 0 as the platform reports the running executable: its full path.
  wchar_t path[MAX_PATH * 2];
  DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  if (n > 0 && n < MAX_PATH * 2) {
    if (arguments.empty()) arguments.emplace_back();
    arguments[0] = glimor::win32::narrow({path, n});
  }
  return arguments;
}

// Tab and Shift+Tab move the focus through the main window's controls, as in a dialog.
int runMessageLoop(HWND mainWindow) {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (::IsDialogMessageW(mainWindow, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace glimor;
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_HOTKEY_CLASS |
                                                     ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);

  // The windows exist as objects from the start, the owner before the windows it owns; each is
  // created (given its HWND) below.
  app::ProgramFlags flags;
  capture::CaptureState captureState;
  win32::ApplicationWindow application;
  win32::MainWindow mainWindow;
  win32::SelectionWindow selectionWindow(captureState);

  std::vector<std::string> arguments = commandLine();
  win32::Win32Shell shell;
  win32::Win32Messages messages(mainWindow);
  platform::Files& files = platform::systemFiles();
  if (!app::runStartUp(arguments, {shell, files, messages})) return 0;

  const std::string& executable = arguments[0];
  application.createWindow();

  win32::Win32Timers timers;
  win32::Win32Profile profile(paths::folderOf(executable) + paths::changeExtension("Glimor.exe", ".ini"));
  win32::Win32Registry registry;
  win32::Win32HotKeys hotKeys(mainWindow);
  win32::Win32Screen screen;
  win32::Win32Printer printer(selectionWindow);
  win32::Win32BusyCursor cursor;
  win32::Win32Clock clock;
  win32::Win32SaveDialog saveDialog(selectionWindow);
  capture::ImagingCropOutput cropOutput(files);
  win32::Win32TextGlyphs glyphs;
  win32::Win32Clipboard pictureClipboard;
  // The question before drawings are dropped stands over the selection window, which covers all.
  win32::Win32Messages selectionMessages(selectionWindow);

  app::MainForm form({mainWindow, mainWindow, messages, timers, profile, registry, hotKeys, mainWindow,
                      screen, selectionWindow},
                     flags, captureState, executable);
  capture::ToolWindow tool(captureState, {flags.hotKeyReady, flags.savedToFile, flags.savedFileName},
                           cropOutput, {selectionWindow, printer, cursor, clock, saveDialog, mainWindow});
  tool.setOnConfirmed([&] { form.publishConfirmed(); });
  tool.setOnConfirming([&] { form.prepareUpload(); });
  capture::SelectionWindow selection(
      captureState, selectionWindow, [&] { return mainWindow.checked(platform::CheckBox::Fade); }, executable,
      capture::PanelActions{[&] { tool.confirm(); }, [&] { tool.print(); }, [&] { tool.cancel(); },
                            [&] { tool.saveAs(); }},
      capture::MarkPlatform{glyphs, selectionMessages, profile, pictureClipboard});

  win32::Win32FrameSource frameSource;
  win32::Win32RecordingView recordingView;
  app::Recorder recorder(
      {frameSource, recordingView, mainWindow, timers, messages, files, profile, mainWindow}, executable,
      [&](const std::string& file) { form.uploadFile(file); });
  form.setRecorder(recorder);
  recordingView.createWindow({[&] { recorder.stop(); }, [&] { recorder.discard(); }});

  // The main window first: its creation is the program's real start-up.
  mainWindow.createWindow(application.hwnd(), form, [&] { selectionWindow.close(); });
  win32::guarded([&] { form.create(); });
  win32::NetworkFeatures network({mainWindow, form, flags, messages, timers, shell, files}, executable);

  selectionWindow.setCore(selection);
  selectionWindow.createWindow();
  pictureClipboard.setOwner(selectionWindow.hwnd());

  // The tool window needs no window of its own: it is its actions and this timer.
  auto toolTimer = timers.create(1000, true, [&] { tool.onTimer(); });
  application.setOnQuit([&] { form.onQuitMessage(); });

  int exitCode = runMessageLoop(mainWindow.hwnd());
  // An exchange still under way is not waited for: the system ends its thread and closes its
  // connection, and nothing of it needs saving.
  if (network.exchangeRunning()) ::ExitProcess(static_cast<UINT>(exitCode));
  return exitCode;
}
