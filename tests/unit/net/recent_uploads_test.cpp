#include "fakes/fake_clipboard.h"
#include "fakes/fake_files.h"
#include "fakes/fake_messages.h"
#include "fakes/fake_network.h"
#include "fakes/fake_ui_thread.h"
#include "net/recent_uploads.h"
#include "net/service_clients.h"
#include "platform/socket_error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace glimor::net {
namespace {

using ::testing::ElementsAre;

class RecentUploadsTest : public ::testing::Test {
protected:
  void given(int count, const std::string& newestDeletionUrl = "http://svc/d/last/s3") {
    for (int i = 1; i <= count; ++i)
      history.add({"", "http://svc/i/" + std::to_string(i), i == count ? newestDeletionUrl : "http://svc/d/x",
                   "jpg", 1});
  }
  // Yes to the question, then the deletion's outcome carried out on this thread.
  void deleteLastAnsweringYes() {
    messages.answers.push_back(true);
    recent.deleteLast();
    ui.pumpUntil([&] { return !recent.deleting(); });
  }

  fakes::FakeFiles files;
  fakes::FakeClipboard clipboard;
  fakes::FakeMessages messages;
  fakes::FakeUiThread ui;
  fakes::FakeNetwork network;
  ServiceClients clients{network, nullptr, [] { return ServiceSettings{"svc", "tok"}; }, ""};
  UploadHistory history{files, "Glimor.history"};
  std::vector<std::string> statuses;
  RecentUploads recent{history,
                       {clipboard, messages, ui, [&](const std::string& text) { statuses.push_back(text); }},
                       clients,
                       "Glimor!"};
};

TEST_F(RecentUploadsTest, OffersTheLastTenLinksNewestFirstAndDeletionOnlyWithALinkForIt) {
  EXPECT_TRUE(recent.recentLinks().empty());
  EXPECT_FALSE(recent.canDeleteLast());
  given(12, ""); // the older ones have a deletion link, the newest none
  EXPECT_EQ(recent.recentLinks().size(), 10u);
  EXPECT_EQ(recent.recentLinks().front(), "http://svc/i/12");
  EXPECT_EQ(recent.recentLinks().back(), "http://svc/i/3");
  EXPECT_FALSE(recent.canDeleteLast());
  recent.deleteLast();
  EXPECT_TRUE(messages.questions.empty());
  recent.copyLink("http://svc/i/7");
  EXPECT_EQ(clipboard.content, "http://svc/i/7");
}

TEST_F(RecentUploadsTest, DeletesOnlyOnYesPostingAnEmptyBodyWithoutTheToken) {
  given(2);
  network.answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  recent.deleteLast(); // answered No
  EXPECT_TRUE(network.connections.empty());
  deleteLastAnsweringYes();

  EXPECT_EQ(messages.questions.at(1), "Glimor!: Delete the last uploaded image from the service?");
  const std::string& sent = network.connections.at(0)->sent;
  EXPECT_EQ(sent.rfind("POST /d/last/s3 HTTP/1.0\r\n", 0), 0u);
  EXPECT_NE(sent.find("\r\nContent-Length: 0\r\n"), std::string::npos);
  EXPECT_EQ(sent.find("tok"), std::string::npos);
  EXPECT_THAT(statuses, ElementsAre("Deleting the last upload...", "Image deleted."));
  EXPECT_THAT(recent.recentLinks(), ElementsAre("http://svc/i/1"));
}

TEST_F(RecentUploadsTest, AnImageGoneBeforeIsDroppedOtherFailuresKeepIt) {
  given(1);
  network.answer("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  deleteLastAnsweringYes();
  network.failConnect(platform::socketErrorMessage(platform::wsa::connectionRefused));
  deleteLastAnsweringYes();
  EXPECT_EQ(statuses.at(1), "Error encountered during POST: HTTP/1.1 404 Not Found");
  EXPECT_EQ(statuses.at(3), "Error encountered during POST: Socket Error # 10061 Connection refused.");
  EXPECT_EQ(recent.recentLinks().size(), 1u);

  network.failConnect("");
  network.answer("HTTP/1.1 410 Gone\r\nContent-Length: 0\r\n\r\n");
  deleteLastAnsweringYes();
  EXPECT_EQ(statuses.back(), "Image deleted.");
  EXPECT_TRUE(recent.recentLinks().empty());
}

} // namespace
} // namespace glimor::net
