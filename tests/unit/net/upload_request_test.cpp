#include "net/upload_request.h"
#include "net/uploader_request.h"

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

namespace glimor::net {
namespace {

UploaderRequest requestBy(std::string_view uploaderText, std::string_view path = "C:\\Shots\\a b.png") {
  const UploaderFile uploader = parseUploaderFile(
      std::span(reinterpret_cast<const std::uint8_t*>(uploaderText.data()), uploaderText.size()));
  return buildUploaderRequest(uploader, path, std::span(reinterpret_cast<const std::uint8_t*>("IMG"), 3));
}

std::string text(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST(UploaderRequest, SendsTheFileAsTheUploaderFileSays) {
  UploaderRequest multipart = requestBy(R"({"RequestURL": "https://up.example/api?v=1#top",
      "Parameters": {"name": "{filename}", "k": "a&b"}, "Headers": {"User-Agent": "Mine {filename}"},
      "FileFormName": "image", "Arguments": {"title": "{filename}"}})");
  EXPECT_EQ(multipart.url, "https://up.example/api?v=1&name=a%20b.png&k=a%26b#top");
  EXPECT_EQ(multipart.shape.method, "POST");
  EXPECT_EQ(multipart.shape.contentType, "multipart/form-data; boundary=" + std::string(uploadBoundary));
  ASSERT_EQ(multipart.shape.headers.size(), 1u);
  EXPECT_EQ(multipart.shape.headers[0].second, "Mine a b.png");
  const std::string delimiter = "--" + std::string(uploadBoundary) + "\r\n";
  EXPECT_EQ(text(multipart.body),
            delimiter + "Content-Disposition: form-data; name=\"title\"\r\n\r\na b.png\r\n" + delimiter +
                "Content-Disposition: form-data; name=\"image\"; filename=\"a b.png\"\r\n"
                "Content-Type: image/png\r\n\r\nIMG\r\n--" +
                std::string(uploadBoundary) + "--\r\n");

  UploaderRequest raw =
      requestBy(R"({"RequestURL": "http://up.example/{filename}", "RequestMethod": "PUT", "Body": "Binary"})",
                "/tmp/Glimor.webm");
  EXPECT_EQ(raw.url, "http://up.example/Glimor.webm");
  EXPECT_EQ(raw.shape.method, "PUT");
  EXPECT_EQ(raw.shape.contentType, "video/webm");
  EXPECT_EQ(text(raw.body), "IMG");

  UploaderRequest json = requestBy(R"({"RequestURL": "http://x/", "Body": "JSON",
      "Arguments": {"name": "{filename}", "q": "\"x\""}})");
  EXPECT_EQ(json.shape.contentType, "application/json");
  EXPECT_EQ(text(json.body), R"({"name":"a b.png","q":"\"x\""})");

  UploaderRequest form = requestBy(R"({"RequestURL": "http://x/", "Body": "FormURLEncoded",
      "Arguments": {"name": "{filename}", "e": "="}})");
  EXPECT_EQ(form.shape.contentType, "application/x-www-form-urlencoded");
  EXPECT_EQ(text(form.body), "name=a%20b.png&e=%3D");

  UploaderRequest none = requestBy(R"({"RequestURL": "http://x/", "Body": "None"})");
  EXPECT_EQ(none.shape.contentType, "");
  EXPECT_TRUE(none.body.empty());
}

} // namespace
} // namespace glimor::net
