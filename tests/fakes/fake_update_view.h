#pragma once
#include "net/update_view.h"

#include <functional>
#include <vector>

namespace glimor::fakes {

class FakeUpdateView final : public net::UpdateView {
public:
  void setUpdateStatus(const std::string& text) override { panel1.push_back(text); }
  bool autoUpdateTicked() override { return autoUpdate; }
  void showMainWindow() override { ++shown; }
  void processMessages() override {
    ++pumps;
    if (onProcessMessages) onProcessMessages();
  }
  void endApplication() override { ended = true; }

  std::string status() const { return panel1.empty() ? "" : panel1.back(); }

  std::vector<std::string> panel1; // every text, in order
  bool autoUpdate = true;
  int shown = 0, pumps = 0;
  bool ended = false;
  std::function<void()> onProcessMessages;
};

} // namespace glimor::fakes
