#include "fakes/fake_clipboard.h"
#include "fakes/fake_files.h"
#include "fakes/fake_link_page.h"
#include "fakes/fake_messages.h"
#include "fakes/fake_network.h"
#include "fakes/fake_tray.h"
#include "fakes/fake_ui_thread.h"
#include "net/recent_uploads.h"
#include "net/service_clients.h"
#include "platform/socket_error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace glimor::net {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

class RecentUploadsTest : public ::testing::Test {
protected:
  void given(int count, const std::string& newestDeletionUrl = "http://svc/d/last/s3") {
    for (int i = 1; i <= count; ++i)
      history.add({"", "http://svc/i/" + std::to_string(i), i == count ? newestDeletionUrl : "http://svc/d/x",
                   "jpg", 1});
    page.directLink = "http://svc/i/" + std::to_string(count);
    clipboard.content = page.directLink;
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
  fakes::FakeTray tray;
  fakes::FakeLinkPage page;
  fakes::FakeNetwork network;
  ServiceClients clients{network, nullptr, [] { return ServiceSettings{.host = "svc", .token = "tok"}; }, ""};
  // Kept at 2026-12-10 03:04:05 UTC, shown one hour later as the local time.
  UploadHistory history{files, "Glimor.history", [] {
                          return std::chrono::sys_days(std::chrono::year(2026) / 12 / 10) + 3h + 4min + 5s;
                        }};
  std::vector<std::string> statuses;
  RecentUploads recent{history,
                       {clipboard, messages, ui, tray, page,
                        [&](const std::string& text) { statuses.push_back(text); },
                        [](std::chrono::system_clock::time_point) {
                          return platform::LocalTime{2026, 12, 10, 4, 4};
                        }},
                       clients,
                       "Glimor!"};
};

TEST_F(RecentUploadsTest, OffersTheLastTenLinksNewestFirstAndDeletionOnlyWithALinkForIt) {
  EXPECT_TRUE(recent.recentLinks().empty());
  EXPECT_FALSE(recent.canDeleteLast());
  given(12, ""); // the older ones have a deletion link, the newest none
  EXPECT_EQ(recent.recentLinks().size(), 10u);
  EXPECT_EQ(recent.recentLinks().front().link, "http://svc/i/12");
  EXPECT_EQ(recent.recentLinks().front().label, "svc/i/12\t04:04"); // uploaded today, local time
  EXPECT_EQ(recent.recentLinks().back().link, "http://svc/i/3");
  EXPECT_FALSE(recent.canDeleteLast());
  recent.deleteLast();
  EXPECT_TRUE(messages.questions.empty());
  recent.copyLink("http://svc/i/7");
  EXPECT_EQ(clipboard.content, "http://svc/i/7");
  clipboard.busyFor = 100; // another program holds it
  recent.copyLink("http://svc/i/8");
  EXPECT_EQ(clipboard.content, "http://svc/i/7");
  EXPECT_THAT(tray.balloons,
              ElementsAre("info: Link copied: http://svc/i/7",
                          "error: The link could not be copied: another program holds the clipboard."));
}

TEST(RecentLinkLabel, ShortensTheLinkAndDatesOnlyWhatIsNotToday) {
  using namespace std::chrono;
  // Local time is UTC + 1 h.
  ToLocalTime plusOneHour = [](system_clock::time_point utc) {
    auto local = utc + 1h;
    auto day = floor<days>(local);
    year_month_day date{day};
    hh_mm_ss<system_clock::duration> clock{local - day};
    return platform::LocalTime{static_cast<int>(date.year()), static_cast<int>(unsigned(date.month())),
                               static_cast<int>(unsigned(date.day())),
                               static_cast<int>(clock.hours().count()),
                               static_cast<int>(clock.minutes().count())};
  };
  platform::LocalTime today{2026, 12, 10, 15, 0};
  auto label = [&](std::string time, std::string link) {
    return recentLinkLabel({std::move(time), std::move(link), "", "jpg", 1}, today, plusOneHour);
  };
  EXPECT_EQ(label("2026-12-10T13:05:00Z", "http://svc/i/1"), "svc/i/1\t14:05");
  EXPECT_EQ(label("2026-12-09T23:30:00Z", "https://svc/i/1"), "svc/i/1\t00:30"); // today in local time
  EXPECT_EQ(label("2026-12-03T13:05:00Z", "svc/i/1"), "svc/i/1\t3 Dec 14:05");
  EXPECT_EQ(label("2025-12-31T22:59:00Z", "svc/i/1"), "svc/i/1\t31 Dec 2025 23:59");
  EXPECT_EQ(label("yesterday", "svc/i/1"), "svc/i/1"); // no time to show
  // Forty characters at most: the host and the end stay.
  EXPECT_EQ(label("2026-12-10T13:05:00Z", "https://images.example.com/i/abcdefghijklmnopqrstuvwxyz.png"),
            "images.example.com/i...nopqrstuvwxyz.png\t14:05");
}

TEST_F(RecentUploadsTest, DeletesOnlyOnYesPostingAnEmptyBodyWithoutTheToken) {
  given(2);
  network.answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  recent.deleteLast(); // answered No
  EXPECT_TRUE(network.connections.empty());
  deleteLastAnsweringYes();

  EXPECT_EQ(messages.questions.at(1), "Glimor!: Delete the last uploaded image from the service?\n\n"
                                      "http://svc/i/2\nUploaded 2026-12-10 04:04");
  EXPECT_THAT(messages.preselections, ::testing::Each(platform::Messages::Default::No));
  const std::string& sent = network.connections.at(0)->sent;
  EXPECT_EQ(sent.rfind("POST /d/last/s3 HTTP/1.0\r\n", 0), 0u);
  EXPECT_NE(sent.find("\r\nContent-Length: 0\r\n"), std::string::npos);
  EXPECT_EQ(sent.find("tok"), std::string::npos);
  EXPECT_THAT(statuses, ElementsAre("Deleting the last upload...", "Image deleted."));
  EXPECT_THAT(tray.balloons, ElementsAre("info: Image deleted."));
  ASSERT_EQ(recent.recentLinks().size(), 1u);
  EXPECT_EQ(recent.recentLinks().front().link, "http://svc/i/1");
  EXPECT_EQ(page.directLink, ""); // the dead link is gone from the field and the clipboard
  EXPECT_EQ(clipboard.content, std::nullopt);
}

TEST_F(RecentUploadsTest, ADeletionLinkOfAnUploaderFilesServiceIsPostedToElseOpenedWithAGet) {
  ASSERT_TRUE(history.add({"", "http://img.example/a.png", "http://img.example/d/s3?x=1", "png", 1, true}));
  ASSERT_TRUE(recent.canDeleteLast());
  network.answer("HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n");
  network.answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  deleteLastAnsweringYes();
  EXPECT_EQ(network.connections.at(0)->sent.rfind("POST /d/s3?x=1 HTTP/1.0\r\n", 0), 0u);
  const std::string& sent = network.connections.at(1)->sent;
  EXPECT_EQ(sent.rfind("GET /d/s3?x=1 HTTP/1.0\r\n", 0), 0u);
  EXPECT_EQ(sent.find("Content-Length"), std::string::npos);
  EXPECT_THAT(statuses, ElementsAre("Deleting the last upload...", "Image deleted."));
  EXPECT_TRUE(recent.recentLinks().empty());
}

TEST_F(RecentUploadsTest, ADeletionLeavesOtherLinksAndClipboardTextsAlone) {
  given(2);
  page.directLink = "http://svc/i/1";
  clipboard.content = "http://svc/i/2 and more";
  network.answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  deleteLastAnsweringYes();
  EXPECT_EQ(statuses.back(), "Image deleted.");
  EXPECT_EQ(page.directLink, "http://svc/i/1");
  EXPECT_EQ(clipboard.content, "http://svc/i/2 and more");
}

TEST_F(RecentUploadsTest, AnUploadThatEndedWhileTheQuestionWasOpenIsNotTheOneDeleted) {
  given(1);
  messages.whileOpen = [&] { history.add({"", "http://svc/i/2", "http://svc/d/two/s", "jpg", 1}); };
  messages.answers.push_back(true);
  recent.deleteLast(); // the question named upload 1
  EXPECT_FALSE(recent.deleting());
  EXPECT_TRUE(network.connections.empty());
}

TEST_F(RecentUploadsTest, AnImageGoneBeforeIsDroppedOtherFailuresKeepIt) {
  given(1);
  network.answer("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  deleteLastAnsweringYes();
  network.failConnect(platform::socketErrorMessage(platform::wsa::connectionRefused));
  deleteLastAnsweringYes();
  EXPECT_EQ(statuses.at(1), "Error encountered during POST: HTTP/1.1 404 Not Found");
  EXPECT_EQ(statuses.at(3), "Error encountered during POST: Socket Error # 10061 Connection refused.");
  EXPECT_EQ(tray.balloons.at(1),
            "error: Error encountered during POST: Socket Error # 10061 Connection refused.");
  EXPECT_EQ(page.directLink, "http://svc/i/1"); // still alive
  EXPECT_EQ(clipboard.content, "http://svc/i/1");
  EXPECT_EQ(recent.recentLinks().size(), 1u);

  network.failConnect("");
  network.answer("HTTP/1.1 410 Gone\r\nContent-Length: 0\r\n\r\n");
  deleteLastAnsweringYes();
  EXPECT_EQ(statuses.back(), "Image deleted.");
  EXPECT_TRUE(recent.recentLinks().empty());
}

} // namespace
} // namespace glimor::net
