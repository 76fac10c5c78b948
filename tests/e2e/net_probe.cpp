// Drives the program's Win32 network pieces inside Wine, one mode per run, and writes what it saw
// to a report file: the URL download with its progress and the update check built on it, the
// clipboard, the browser association with "Open Link", and the user-interface thread that the
// upload worker waits on.
#include "net/link_actions.h"
#include "net/update_check.h"
#include "platform/error.h"
#include "platform/files.h"
#include "win32/clipboard.h"
#include "win32/processes.h"
#include "win32/shell.h"
#include "win32/timers.h"
#include "win32/ui_thread.h"
#include "win32/url_download.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace glimor;

class Report {
public:
  explicit Report(const std::string& path) : out_(path, std::ios::binary) {}
  void line(const std::string& text) { out_ << text << '\n' << std::flush; }

private:
  std::ofstream out_;
};

class PrintedUpdateView final : public net::UpdateView {
public:
  explicit PrintedUpdateView(Report& report) : report_(report) {}
  void setUpdateStatus(std::string_view text, std::string_view) override {
    report_.line("panel1 " + std::string(text));
  }
  bool autoUpdateTicked() override { return true; }
  void showMainWindow() override { report_.line("show"); }
  void endApplication() override { report_.line("end"); }

private:
  Report& report_;
};

// The system's download, counting the progress reports that reach the caller's thread.
class CountedDownload final : public platform::UrlDownload {
public:
  bool isOnline() override { return download_.isOnline(); }
  platform::DownloadOutcome download(const std::string& url, const std::string& path,
                                     const Progress& progress,
                                     const platform::DownloadLimits& limits) override {
    const DWORD caller = ::GetCurrentThreadId();
    return download_.download(
        url, path,
        [&](std::uint32_t done, std::uint32_t total) {
          if (::GetCurrentThreadId() == caller) ++reports;
          progress(done, total);
        },
        limits);
  }
  int reports = 0;

private:
  win32::Win32UrlDownload download_;
};

class NoMessages final : public platform::Messages {
public:
  explicit NoMessages(Report& report) : report_(report) {}
  void show(const std::string& text) override { report_.line("message " + text); }
  bool askYesNo(const std::string&, const std::string&, Default) override { return false; }
  void beep() override {}

private:
  Report& report_;
};

class FixedLinkPage final : public platform::LinkPage {
public:
  explicit FixedLinkPage(std::string link) : link_(std::move(link)) {}
  std::string link() const override { return link_; }
  void setLink(const std::string& link) override { link_ = link; }
  void setBusyAnimation(bool) override {}
  void setHelpTextVisible(bool) override {}

private:
  std::string link_;
};

// update EXE HOST KEY: one "Check for updates" of a program installed as EXE, trusting KEY.
void update(Report& report, const std::string& exe, const std::string& host, const std::string& key) {
  CountedDownload download;
  report.line(std::string("online ") + (download.isOnline() ? "yes" : "no"));
  win32::Win32Shell shell;
  win32::Win32Timers timers;
  PrintedUpdateView view(report);
  NoMessages messages(report);
  bool downloading = false;
  net::UpdateCheck check(
      {view, download, platform::systemFiles(), shell, messages, timers},
      [&host] { return net::ServiceEndpoints(host); }, exe, "1.01", key, downloading);
  check.checkForUpdateNow();
  report.line(download.reports > 0 ? "progress reported" : "no progress");
  report.line("new " + check.newExePath());
}

// clipboard TEXT: copied with the read-back, then read as another program would.
void clipboard(Report& report, const std::string& text) {
  win32::Win32Clipboard board;
  report.line(net::copyTextToClipboard(board, text) ? "copied" : "not copied");
  report.line("reads " + board.text().value_or("(nothing)"));
}

// open HOST LINK: "Open Link" on LINK with the service at HOST.
void open(Report& report, const std::string& host, const std::string& link) {
  win32::Win32Clipboard board;
  win32::Win32Processes processes;
  FixedLinkPage page(link);
  net::LinkActions actions(page, board, processes, [&host] { return net::ServiceEndpoints(host); });
  report.line("browser " + actions.defaultBrowserCommand());
  actions.openLink();
  report.line("clicked");
}

// ui: a worker's effects run on this thread, in order, while its message loop runs; once closed,
// a waiting worker is released with an error.
void ui(Report& report) {
  win32::Win32UiThread uiThread;
  const DWORD self = ::GetCurrentThreadId();
  std::vector<int> order;
  bool allHere = true, refused = false, failureCameBack = false;
  std::thread worker([&] {
    for (int i = 1; i <= 3; ++i)
      uiThread.synchronize([&, i] {
        allHere = allHere && ::GetCurrentThreadId() == self;
        order.push_back(i);
      });
    try {
      uiThread.synchronize([] { throw Error("effect failed"); });
    } catch (const Error&) {
      failureCameBack = true;
    }
    ::PostThreadMessageA(self, WM_APP + 7, 0, 0);
  });
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.hwnd == nullptr && message.message == WM_APP + 7) break;
    ::DispatchMessageA(&message);
  }
  worker.join();
  uiThread.close();
  std::thread late([&] {
    try {
      uiThread.synchronize([] {});
    } catch (const Error&) {
      refused = true;
    }
  });
  late.join();
  report.line("order " + std::to_string(order.size()) +
              (order == std::vector<int>{1, 2, 3} ? " in order" : " out of order"));
  report.line(allHere ? "all on the window's thread" : "some elsewhere");
  report.line(failureCameBack ? "failure returned" : "failure lost");
  report.line(refused ? "refused after close" : "ran after close");
}

} // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  // As the stand-in browser it keeps its whole command line, exactly as it was given.
  if (std::find(args.begin(), args.end(), "-record") != args.end()) {
    Report("C:\\browser-command.txt").line(::GetCommandLineA());
    return 0;
  }
  if (args.size() < 3) return 2;
  Report report(args[1]);
  const std::string& mode = args[2];
  try {
    if (mode == "update" && args.size() == 6)
      update(report, args[3], args[4], args[5]);
    else if (mode == "clipboard" && args.size() == 4)
      clipboard(report, args[3]);
    else if (mode == "open" && args.size() == 5)
      open(report, args[3], args[4]);
    else if (mode == "ui")
      ui(report);
    else
      return 2;
  } catch (const std::exception& e) {
    report.line(std::string("error ") + e.what());
    return 1;
  }
  report.line("done");
  return 0;
}
