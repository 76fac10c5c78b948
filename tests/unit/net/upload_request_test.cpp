#include "net/upload_request.h"

#include <gtest/gtest.h>

namespace glimor::net {
namespace {

std::string bodyText(std::string_view path, std::string_view image) {
  std::vector<std::uint8_t> body =
      buildUploadBody(path, std::span(reinterpret_cast<const std::uint8_t*>(image.data()), image.size()));
  return std::string(body.begin(), body.end());
}

TEST(UploadBody, IsThePartWithTheFullPathTheTypeAsWrittenAndTheImageBytes) {
  const std::string image("\xff\xd8\x00\r\n--\xff\xd9", 9);
  EXPECT_EQ(bodyText("C:\\Apps\\Glimor\\Glimor.jpg", image),
            "-----------------------------7d6891e3b0542\r\n"
            "Content-Disposition: form-data; name=\"imgfile\"; filename=\"C:\\Apps\\Glimor\\Glimor.jpg\"\r\n"
            "Content-Type: image/jpg\r\n"
            "\r\n" +
                image + "\r\n-----------------------------7d6891e3b0542--\r\n");
}

TEST(UploadBody, Is177BytesLongerThanPathExtensionAndImage) {
  for (std::string path : {"/srv/a.png", "C:\\x\\Shot.swf", "C:\\\"quoted\"\\b.jpeg"}) {
    std::string extension = path.substr(path.rfind('.') + 1);
    EXPECT_EQ(bodyText(path, "12345").size(), 177 + path.size() + extension.size() + 5) << path;
    EXPECT_NE(bodyText(path, "").find("Content-Type: image/" + extension + "\r\n"), std::string::npos);
  }
  EXPECT_NE(bodyText("C:\\GlimorRecording.webm", "").find("Content-Type: video/webm\r\n"), std::string::npos)
      << "a recording is a video";
}

TEST(UploadBody, AcceptsOnlyTheKnownExtensionsInLowerCase) {
  for (const char* known : {"bmp", "jpeg", "jpg", "gif", "png", "swf", "webm"})
    EXPECT_TRUE(isAcceptedExtension(known));
  for (const char* other : {"JPG", "Jpg", "tif", "", "jpg ", ".jpg"})
    EXPECT_FALSE(isAcceptedExtension(other));
}

} // namespace
} // namespace glimor::net
