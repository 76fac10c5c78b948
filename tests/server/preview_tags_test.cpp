#include "preview_tags.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <regex>

namespace glimor::server {
namespace {

// The tags as a bot reads them: property or name to content, in the order given.
std::map<std::string, std::string> tagsOf(const std::string& head) {
  std::map<std::string, std::string> tags;
  const std::regex meta("<meta (?:property|name)=\"([^\"]+)\" content=\"([^\"]*)\">\n");
  for (std::sregex_iterator at(head.begin(), head.end(), meta), end; at != end; ++at)
    tags.emplace((*at)[1], (*at)[2]);
  return tags;
}

TEST(PreviewTags, NameThePictureOrTheRecordingWithItsSize) {
  const std::string still = previewTags({.title = "Screenshot <1>",
                                         .pageUrl = "https://x.org/v/A",
                                         .imageUrl = "https://x.org/i/A.png",
                                         .imageType = "image/png",
                                         .imageWidth = 640,
                                         .imageHeight = 480});
  EXPECT_EQ(tagsOf(still), (std::map<std::string, std::string>{{"og:title", "Screenshot &lt;1&gt;"},
                                                               {"og:type", "website"},
                                                               {"og:url", "https://x.org/v/A"},
                                                               {"og:image", "https://x.org/i/A.png"},
                                                               {"og:image:type", "image/png"},
                                                               {"og:image:width", "640"},
                                                               {"og:image:height", "480"},
                                                               {"twitter:card", "summary_large_image"},
                                                               {"twitter:image", "https://x.org/i/A.png"}}));
  EXPECT_EQ(std::count(still.begin(), still.end(), '\n'), 9) << "one line a tag, nothing else:\n" << still;

  const PreviewFacts recording{.title = "Recording",
                               .pageUrl = "https://x.org/v/B",
                               .imageUrl = "https://x.org/t/B.jpg",
                               .imageType = "image/jpeg",
                               .imageWidth = 320,
                               .imageHeight = 180,
                               .videoUrl = "https://x.org/i/B.webm",
                               .videoType = "video/webm",
                               .videoWidth = 1280,
                               .videoHeight = 720};
  auto tags = tagsOf(previewTags(recording));
  EXPECT_EQ(tags["og:type"], "video.other");
  EXPECT_EQ(tags["og:video"], "https://x.org/i/B.webm");
  EXPECT_EQ(tags["og:video:type"], "video/webm");
  EXPECT_EQ(tags["og:video:width"] + "x" + tags["og:video:height"], "1280x720");
  EXPECT_EQ(tags["og:image:width"] + "x" + tags["og:image:height"], "320x180");

  // An image stored before sizes were kept says no size rather than a wrong one.
  tags =
      tagsOf(previewTags({.title = "Screenshot", .pageUrl = "u", .imageUrl = "i", .imageType = "image/png"}));
  EXPECT_FALSE(tags.contains("og:image:width"));
  EXPECT_FALSE(tags.contains("og:video"));
}

} // namespace
} // namespace glimor::server
