#include "fakes/fake_files.h"
#include "net/upload_history.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace glimor::net {
namespace {

using namespace std::chrono;
using ::testing::ElementsAre;

const std::string path = "C:\\Apps\\Glimor.history";
const std::string when = "2026-12-09T13:47:26Z";

class UploadHistoryTest : public ::testing::Test {
protected:
  std::string text() { return std::string(files.contents[path].begin(), files.contents[path].end()); }
  void givenText(const std::string& text) { files.contents[path].assign(text.begin(), text.end()); }
  std::vector<std::string> links() {
    std::vector<std::string> links;
    for (const UploadRecord& upload : history.uploads()) links.push_back(upload.link);
    return links;
  }

  fakes::FakeFiles files;
  UploadHistory history{files, path, [] { return sys_days{2026y / 12 / 9} + 13h + 47min + 26s + 900ms; }};
};

TEST_F(UploadHistoryTest, KeepsOneLinePerUploadWrittenWholeEachTime) {
  EXPECT_TRUE(history.uploads().empty()); // no file yet
  EXPECT_TRUE(history.add({"", "http://svc/i/a.jpg", "http://svc/d/a/s", "jpg", 1234}));
  EXPECT_TRUE(history.add({"", "https://svc/i/b.png", "", "png", 5}));
  EXPECT_EQ(text(), when + "\thttp://svc/i/a.jpg\thttp://svc/d/a/s\tjpg\t1234\r\n" + when +
                        "\thttps://svc/i/b.png\t\tpng\t5\r\n");
  EXPECT_THAT(history.uploads(),
              ElementsAre(UploadRecord{when, "http://svc/i/a.jpg", "http://svc/d/a/s", "jpg", 1234},
                          UploadRecord{when, "https://svc/i/b.png", "", "png", 5}));
  EXPECT_THAT(files.replaced, ElementsAre(path, path)); // each change through one atomic replace
  // A deletion link to be opened with a GET says so in a sixth field, which reads back.
  const UploadRecord byGet{when, "https://x/i.png", "https://x/d/1", "png", 5, true};
  EXPECT_EQ(historyLine(byGet), when + "\thttps://x/i.png\thttps://x/d/1\tpng\t5\tGET");
  EXPECT_EQ(parseHistoryLine(historyLine(byGet)), byGet);
  EXPECT_EQ(parseHistoryLine(historyLine(byGet) + "\tGET"), std::nullopt);
  EXPECT_EQ(parseHistoryLine(when + "\thttps://x/i.png\thttps://x/d/1\tpng\t5\tPOST"), std::nullopt);

  // Refused before anything is written: what could not be read back.
  EXPECT_FALSE(history.add({"", "http://svc/" + std::string(historyLinkLimit, 'x'), "", "jpg", 1}));
  EXPECT_FALSE(history.add({"", "http://svc/i/c.gif", "javascript:x", "gif", 1}));
  EXPECT_EQ(files.replaced.size(), 2u);
}

TEST_F(UploadHistoryTest, KeepsTheLastHundredAndDropsOneByItsLinks) {
  for (int i = 0; i < 102; ++i)
    history.add({"", "http://svc/i/" + std::to_string(i), "http://svc/d/" + std::to_string(i), "gif", 1});
  std::vector<std::string> kept = links();
  ASSERT_EQ(kept.size(), 100u);
  EXPECT_EQ(kept.front(), "http://svc/i/2");
  EXPECT_EQ(kept.back(), "http://svc/i/101");

  EXPECT_TRUE(history.remove({"", "http://svc/i/50", "http://svc/d/50", "", 0}));
  EXPECT_FALSE(history.remove({"", "http://svc/i/51", "http://svc/d/other", "", 0}));
  kept = links();
  EXPECT_EQ(kept.size(), 99u);
  EXPECT_THAT(std::vector(kept.begin() + 47, kept.begin() + 49),
              ElementsAre("http://svc/i/49", "http://svc/i/51"));
}

TEST_F(UploadHistoryTest, SkipsDamagedLinesAndReadsNoMoreThanItsLimit) {
  const std::string good = when + "\thttp://svc/i/ok\t\tjpg\t7";
  givenText("garbage\n" + good + "\r\n" +
            "2026-12-09 13:47:26\thttp://svc/i/a\t\tjpg\t7\n" + // time in another form
            when + "\tfile:///C:/x\t\tjpg\t7\n" +               // not a web link
            when + "\thttp://svc/i/b\thttp://a b\tjpg\t7\n" +   // a deletion link with a blank
            when + "\thttp://svc/i/c\t\tj/g\t7\n" + when + "\thttp://svc/i/d\t\tjpg\t-7\n" + when +
            "\thttp://svc/i/e\t\tjpg\t7\textra\n" + std::string("x\0y\n", 4) + good + "\n");
  EXPECT_THAT(links(), ElementsAre("http://svc/i/ok", "http://svc/i/ok"));
  history.add({"", "http://svc/i/new", "", "bmp", 3});
  EXPECT_EQ(text(), good + "\r\n" + good + "\r\n" + when + "\thttp://svc/i/new\t\tbmp\t3\r\n"); // no damage

  // A file grown beyond any history: a line cut at the limit is not taken for a shorter one.
  std::string padding(historyReadLimit - 2 * good.size() - 2, '#');
  givenText(good + "\n" + padding + "\n" + good + "123456");
  EXPECT_THAT(links(), ElementsAre("http://svc/i/ok"));
}

} // namespace
} // namespace glimor::net
