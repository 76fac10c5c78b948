#pragma once
#include "net/update_view.h"

#include <string>
#include <vector>

namespace glimor::fakes {

class FakeUpdateView final : public net::UpdateView {
public:
  void setUpdateStatus(std::string_view text, std::string_view reason) override {
    panel1.emplace_back(text);
    this->reason = reason;
  }
  bool autoUpdateTicked() override { return autoUpdate; }
  void showMainWindow() override { ++shown; }
  void endApplication() override { ended = true; }

  std::string status() const { return panel1.empty() ? "" : panel1.back(); }

  std::vector<std::string> panel1; // every text, in order
  bool autoUpdate = true;
  std::string reason; // of the last text
  int shown = 0;
  bool ended = false;
};

} // namespace glimor::fakes
