#pragma once
#include "platform/error.h"
#include "platform/printer.h"

#include <string>
#include <vector>

namespace glimor::fakes {

// A page of `width` x `height` device pixels; text cells are as high as the font
// and 0.6 of that per character wide.
class FakePrinter final : public platform::Printer {
public:
  bool setup() override { return accept; }
  void beginJob(const std::string&) override {
    if (noPrinter) throw Error("There is no default printer currently selected");
    jobOpen = true;
    calls.push_back("begin");
  }
  void endJob() override {
    jobOpen = false;
    calls.push_back("end");
  }
  void abortJob() override {
    jobOpen = false;
    calls.push_back("abort");
  }
  int pageWidth() override { return width; }
  int pageHeight() override { return height; }
  int dpiY() override { return dpi; }
  void setFont(const std::string& face, int h) override {
    fontHeight = h;
    calls.push_back("font " + face + " " + std::to_string(h));
  }
  int textWidth(const std::string& text) override {
    return static_cast<int>(text.size()) * fontHeight * 6 / 10;
  }
  int textHeight(const std::string&) override { return fontHeight; }
  void textOut(int x, int y, const std::string& text) override {
    calls.push_back("text " + std::to_string(x) + "," + std::to_string(y) + " " + text);
  }
  void drawPicture(const screen::Rect& r, const screen::Picture& p) override {
    if (drawFails) throw Error("Out of system resources");
    drawnRect = r;
    drawn = p;
    calls.push_back("picture");
  }

  bool accept = true, noPrinter = false, drawFails = false, jobOpen = false;
  int width = 4800, height = 6600, dpi = 600, fontHeight = 0;
  screen::Rect drawnRect;
  screen::Picture drawn;
  std::vector<std::string> calls;
};

} // namespace glimor::fakes
