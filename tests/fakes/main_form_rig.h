#pragma once
// A main window wired to fakes, for tests that play the user and the clock.
#include "app/main_form.h"
#include "fakes/fake_hot_keys.h"
#include "fakes/fake_main_view.h"
#include "fakes/fake_messages.h"
#include "fakes/fake_option_controls.h"
#include "fakes/fake_profile.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_screen.h"
#include "fakes/fake_selection_view.h"
#include "fakes/fake_timers.h"
#include "fakes/fake_tray.h"

namespace glimor::fakes {

struct MainFormRig {
  FakeMainView view;
  FakeOptionControls options;
  FakeMessages messages;
  FakeTimers timers;
  FakeProfile profile;
  FakeRegistry registry;
  FakeHotKeys hotKeys;
  FakeTray tray;
  FakeScreen screen;
  FakeSelectionView selectionView;
  app::ProgramFlags flags;
  capture::CaptureState capture;
  app::MainForm form{
      {view, options, messages, timers, profile, registry, hotKeys, tray, screen, selectionView},
      flags,
      capture,
      "C:\\Apps\\Glimor.exe"};

  static constexpr const char* runKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

  // A start after the first one: Glimor.ini says the program is installed.
  void givenInstalled() { profile.write("Options", "Installed", "1"); }
  std::string ini(const std::string& key) { return profile.values[{"Options", key}]; }
  void givenRunValue(const std::string& data) { registry.machine.keys[runKey]["Glimor"] = {data, true}; }
  bool runValueExists() { return registry.machine.keys[runKey].count("Glimor") > 0; }
};

} // namespace glimor::fakes
