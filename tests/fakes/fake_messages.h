#pragma once
#include "platform/messages.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace glimor::fakes {

// Records every message; answers questions from a queue (No when empty).
class FakeMessages final : public platform::Messages {
public:
  void show(const std::string& text) override {
    shown.push_back(text);
    if (whileOpen) whileOpen();
  }
  bool askYesNo(const std::string& text, const std::string& caption, Default preselected) override {
    questions.push_back(caption + ": " + text);
    preselections.push_back(preselected);
    if (whileOpen) whileOpen();
    if (answers.empty()) return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void beep() override { ++beeps; }

  std::vector<std::string> shown;
  std::vector<std::string> questions;
  std::vector<Default> preselections; // one for each question
  std::deque<bool> answers;
  int beeps = 0;
  // Runs while a message is open, as the message loop of a modal box would.
  std::function<void()> whileOpen;
};

} // namespace glimor::fakes
