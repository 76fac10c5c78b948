#include "fakes/fake_clipboard.h"
#include "fakes/fake_files.h"
#include "fakes/fake_link_page.h"
#include "fakes/fake_main_view.h"
#include "fakes/fake_messages.h"
#include "fakes/fake_network.h"
#include "fakes/fake_processes.h"
#include "fakes/fake_tray.h"
#include "fakes/fake_ui_thread.h"
#include "net/service_clients.h"
#include "net/upload.h"
#include "net/upload_window.h"
#include "net/uploader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace glimor::net {
namespace {

using ::testing::ElementsAre;

const std::string image = "C:\\Apps\\Glimor.jpg";

// The worker on its own thread, the window played by the test's thread.
class UploaderTest : public ::testing::Test {
protected:
  UploaderTest() {
    main.uploadFile = image;
    files.contents[image] = {'J', 'P', 'G'};
  }
  void pumpUntilDone() {
    ui.pumpUntil([&] { return !uploader.running(); });
  }

  fakes::FakeMainView main;
  fakes::FakeLinkPage page;
  fakes::FakeMessages messages;
  fakes::FakeClipboard clipboard;
  fakes::FakeProcesses processes;
  fakes::FakeFiles files;
  fakes::FakeNetwork network;
  fakes::FakeTray tray;
  fakes::FakeUiThread ui;
  ServiceSettings settings{.host = "svc"};
  ServiceClients clients{network, nullptr, [&] { return settings; }, ""};
  LinkActions links{page, clipboard, processes, [&] { return clients.endpoints(); }};
  std::vector<std::string> hooks;
  UploadHistory history{files, "C:\\Apps\\Glimor.history"};
  UploadWindow window{
      main,
      page,
      messages,
      tray,
      links,
      history,
      UploadFormHooks{[&](bool visible) { hooks.push_back(visible ? "panel on" : "panel off"); },
                      [&] { hooks.push_back("flood lock"); }}};
  Uploader uploader{window, ui, clients, files};
};

TEST_F(UploaderTest, TheWorkersEffectsAllRunOnTheWindowsThread) {
  network.answer("HTTP/1.1 200 OK\r\n\r\nOK\r\nDelete: http://svc/d/abc/s\r\nLink: http://svc/abc\r\n");
  ASSERT_TRUE(uploader.start());
  pumpUntilDone();

  ASSERT_FALSE(ui.ranOn.empty());
  for (auto id : ui.ranOn) EXPECT_EQ(id, std::this_thread::get_id());
  EXPECT_EQ(main.statusText[0], "Upload complete.");
  EXPECT_EQ(page.directLink, "http://svc/abc");
  EXPECT_EQ(clipboard.content, "http://svc/abc");
  EXPECT_FALSE(main.shown) << "the focus stays with the program the user works in";
  EXPECT_EQ(main.broughtToFront, 0);
  EXPECT_THAT(tray.balloons, ElementsAre("info: Link copied: http://svc/abc"));
  EXPECT_FALSE(page.animating);
  EXPECT_FALSE(page.helpTextVisible);
  EXPECT_THAT(hooks, ElementsAre("panel off", "flood lock", "panel on"));
  EXPECT_THAT(window.responseLines(),
              ElementsAre("OK", "Delete: http://svc/d/abc/s", "Link: http://svc/abc"));
  EXPECT_FALSE(files.exists("C:\\Apps\\Glimor.dat"));
  ASSERT_EQ(history.uploads().size(), 1u);
  EXPECT_EQ(history.uploads()[0].deletionUrl, "http://svc/d/abc/s");

  main.shown = true; // the links page tells a user who has the window open
  network.answer("HTTP/1.1 200 OK\r\n\r\nLink: http://svc/def\r\n");
  ASSERT_TRUE(uploader.start());
  pumpUntilDone();
  EXPECT_EQ(page.directLink, "http://svc/def");
  EXPECT_EQ(tray.balloons.size(), 1u);
}

TEST_F(UploaderTest, TheRequestGoesOutWhileTheWindowsThreadIsStillBusy) {
  network.answer("HTTP/1.1 200 OK\r\n\r\nLink: http://svc/abc\r\n");
  main.uploadFile = image;
  ASSERT_TRUE(uploader.start()); // the file's name is read here, on the window's thread
  main.uploadFile = "C:\\Apps\\other.jpg";
  // The window's thread runs nothing meanwhile, as when it closes the selection window.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (network.connections.empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const bool sent = !network.connections.empty();
  if (!sent) ui.close(); // lets a worker that waits for the window's thread go
  ASSERT_TRUE(sent);
  EXPECT_EQ(main.statusText[0], "") << "the status waits for the window's thread";
  pumpUntilDone();
  EXPECT_NE(network.connections[0]->sent.find("filename=\"C:\\Apps\\Glimor.jpg\""), std::string::npos);
  EXPECT_EQ(main.statusText[0], "Upload complete.");
  EXPECT_EQ(page.directLink, "http://svc/abc");
}

// The confirm readies the upload before its file is made: the connection is open by then, and
// the request goes out on it.
TEST_F(UploaderTest, TheConnectionOpenedAheadCarriesTheUpload) {
  network.answer("HTTP/1.1 200 OK\r\n\r\nLink: http://svc/abc\r\n");
  uploader.prepare();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (network.connections.empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(network.connections.size(), 1u);
  ASSERT_TRUE(uploader.start());
  pumpUntilDone();
  ASSERT_EQ(network.connections.size(), 1u);
  EXPECT_NE(network.connections[0]->sent.find("filename=\"C:\\Apps\\Glimor.jpg\""), std::string::npos);
  EXPECT_EQ(page.directLink, "http://svc/abc");
}

TEST_F(UploaderTest, AFailedPostHoldsTheWorkerUntilTheBoxIsClosed) {
  network.answer("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
  bool workerWaitedForTheBox = false;
  messages.whileOpen = [&] {
    workerWaitedForTheBox = uploader.running() && main.statusText[0] == statusUploading;
  };
  uploader.start();
  pumpUntilDone();
  EXPECT_THAT(messages.shown, ElementsAre("Error encountered during POST: HTTP/1.1 500 Internal Server Error"
                                          "\n\n\"Retry upload\" in the tray menu sends the capture again."));
  EXPECT_TRUE(workerWaitedForTheBox);
  EXPECT_EQ(main.statusText[0], "Image could not be uploaded.");
  EXPECT_THAT(hooks, ElementsAre("panel off", "flood lock", "panel on"));
  EXPECT_TRUE(tray.balloons.empty()) << "the box told it";
}

TEST_F(UploaderTest, TheBoxOfATimeOutOrATokenRefusalSaysWhatToDo) {
  network.script({fakes::silence()});
  network.answer("HTTP/1.1 401 Unauthorized\r\nContent-Length: 23\r\n\r\nUpload token required\r\n");
  ServiceClients withTokenPlace{network, nullptr, [&] { return settings; }, std::string(tokenOnOptionsPage)};
  UploadFormHooks noHooks{[](bool) {}, [] {}};
  UploadWindow shown{main, page, messages, tray, links, history, noHooks};
  Uploader worker{shown, ui, withTokenPlace, files};
  for (int attempt = 0; attempt < 2; ++attempt) {
    ASSERT_TRUE(worker.start());
    ui.pumpUntil([&] { return !worker.running(); });
  }
  EXPECT_THAT(
      messages.shown,
      ElementsAre("Error encountered during POST: Read Timeout\n\nThe service did not answer in time: "
                  "check the connection. \"Retry upload\" in the tray menu sends the capture again.",
                  "Error encountered during POST: Upload token required. Set the upload token on the "
                  "Options page.\n\nOnce the token is saved, \"Retry upload\" in the tray menu sends "
                  "the capture again."));
}

TEST_F(UploaderTest, ASecondUploadWaitsForTheFirstEvenWhenTheStatusTextChanged) {
  network.script({fakes::data("HTTP/1.1 200 OK\r\n\r\nLink: http://svc/one\r\n")});
  network.answer("HTTP/1.1 200 OK\r\n\r\nLink: http://svc/two\r\n");
  ASSERT_TRUE(uploader.start());
  ui.pumpUntil([&] { return main.statusText[0] == statusUploading; });
  main.setStatus(0, "Sending your feedback..."); // the feedback form took the status line
  EXPECT_FALSE(uploader.start());
  pumpUntilDone();
  EXPECT_EQ(page.directLink, "http://svc/one");

  ASSERT_TRUE(uploader.start()); // once it has ended, the next one may go
  pumpUntilDone();
  EXPECT_EQ(page.directLink, "http://svc/two");
  EXPECT_EQ(network.connections.size(), 2u);
}

TEST_F(UploaderTest, AnUploadKeepsTheSettingsOfItsStartAndTheNextTakesTheChangedOnes) {
  settings = {.host = "svc", .token = "first"};
  network.answer("HTTP/1.1 200 OK\r\n\r\nLink: http://svc/one\r\n");
  network.answer("HTTP/1.1 200 OK\r\n\r\nLink: http://other:9000/two\r\n");
  ASSERT_TRUE(uploader.start());
  ui.pumpUntil([&] { return main.statusText[0] == statusUploading; });
  settings = {.host = "other:9000", .token = "second"}; // the Options page saved while the worker runs
  pumpUntilDone();
  ASSERT_TRUE(uploader.start());
  pumpUntilDone();

  ASSERT_EQ(network.connections.size(), 2u);
  EXPECT_EQ(network.connections[0]->host, "svc");
  EXPECT_NE(network.connections[0]->sent.find("\r\nAuthorization: Bearer first\r\n"), std::string::npos);
  EXPECT_EQ(network.connections[1]->host, "other");
  EXPECT_EQ(network.connections[1]->port, 9000);
  EXPECT_NE(network.connections[1]->sent.find("\r\nAuthorization: Bearer second\r\n"), std::string::npos);
  EXPECT_EQ(network.connections[1]->sent.find("first"), std::string::npos);
}

TEST_F(UploaderTest, ACancelledUploadLeavesLinkAndClipboardAndReleasesTheGate) {
  page.directLink = "http://svc/before";
  clipboard.content = page.directLink;
  network.script({fakes::hold()});
  network.answer("HTTP/1.1 200 OK\r\n\r\nLink: http://svc/after\r\n");
  uploader.cancel(); // none runs: nothing to call off
  ASSERT_TRUE(uploader.start());
  ui.pumpUntil([&] { return !network.connections.empty(); });
  uploader.cancel();
  pumpUntilDone();
  EXPECT_EQ(main.statusText[0], "Upload cancelled.");
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(page.directLink, "http://svc/before");
  EXPECT_EQ(clipboard.content, "http://svc/before");
  EXPECT_TRUE(network.connections[0]->closed);
  EXPECT_THAT(hooks, ElementsAre("panel off", "panel on")); // no flood lock
  EXPECT_TRUE(history.uploads().empty());

  ASSERT_TRUE(uploader.start()); // the next upload is not cancelled by the last one's cancel
  pumpUntilDone();
  EXPECT_EQ(page.directLink, "http://svc/after");
}

TEST_F(UploaderTest, AWindowThatIsGoneEndsTheWorkerQuietly) {
  ui.close();
  ASSERT_TRUE(uploader.start());
  while (uploader.running()) std::this_thread::yield();
  EXPECT_TRUE(network.connections.empty());
  EXPECT_EQ(main.statusText[0], "");
}

TEST_F(UploaderTest, TheWindowSideWithdrawsTheBusyDisplayAfterAnEarlyEnd) {
  main.uploadFile = "C:\\Apps\\gone.jpg";
  uploader.start();
  pumpUntilDone();
  EXPECT_EQ(main.statusText[0], "Action canceled!");
  EXPECT_FALSE(page.animating);
  EXPECT_THAT(hooks, ElementsAre("panel off", "panel on")); // no flood lock
  EXPECT_FALSE(main.shown);
}

} // namespace
} // namespace glimor::net
