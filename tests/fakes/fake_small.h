#pragma once
// Fakes of the one-call interfaces: busy cursor, local clock, save dialog.
#include "platform/busy_cursor.h"
#include "platform/clock.h"
#include "platform/save_dialog.h"

#include <optional>
#include <vector>

namespace glimor::fakes {

class FakeBusyCursor final : public platform::BusyCursor {
public:
  void setBusy(bool b) override {
    busy = b;
    changes.push_back(b);
  }
  bool busy = false;
  std::vector<bool> changes;
};

class FakeClock final : public platform::Clock {
public:
  platform::LocalTime now() const override { return time; }
  char dateSeparator() const override { return date; }
  char timeSeparator() const override { return clock; }
  platform::LocalTime time{2007, 3, 9, 14, 5};
  char date = '/', clock = ':';
};

class FakeSaveDialog final : public platform::SaveDialog {
public:
  std::optional<std::string> ask(const platform::SaveDialogSetup& s) override {
    setup = s;
    ++asked;
    return answer;
  }
  std::optional<std::string> answer;
  platform::SaveDialogSetup setup;
  int asked = 0;
};

} // namespace glimor::fakes
