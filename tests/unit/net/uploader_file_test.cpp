#include "fakes/fake_files.h"
#include "net/uploader_file.h"
#include "platform/error.h"

#include <gtest/gtest.h>

namespace glimor::net {
namespace {

UploaderFile parsed(std::string_view text) {
  return parseUploaderFile(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::string refusal(std::string_view text) {
  try {
    parsed(text);
  } catch (const Error& error) {
    return error.what();
  }
  return "taken";
}

TEST(UploaderFile, ReadsTheFieldsAsWrittenWithTheirDefaults) {
  const UploaderFile file = parsed("\xEF\xBB\xBF"
                                   R"({
    "Version": "15.0.0", "Name": "Pictures", "DestinationType": "ImageUploader, FileUploader",
    "RequestMethod": "put", "RequestURL": "https://up.example/{filename}",
    "Parameters": {"key": "k1"}, "Headers": {"Authorization": "Bearer abc"},
    "Body": "Binary", "URL": "{json:data.url}", "DeletionURL": "{json:data.delete}", "Extra": [1]
  })");
  EXPECT_EQ(file.name, "Pictures");
  EXPECT_EQ(file.method, "PUT");
  EXPECT_EQ(file.requestUrl, "https://up.example/{filename}");
  EXPECT_EQ(file.body, UploaderFile::Body::Binary);
  ASSERT_EQ(file.headers.size(), 1u);
  EXPECT_EQ(file.headers[0].first, "Authorization");
  EXPECT_FALSE(file.deletionUrl.empty());
  EXPECT_TRUE(file.errorMessage.empty());

  const UploaderFile plain = parsed(R"({"RequestURL": "http://up.example/", "FileFormName": "file"})");
  EXPECT_EQ(plain.method, "POST");
  EXPECT_EQ(plain.body, UploaderFile::Body::MultipartFormData);
  // Without a URL the whole answer is the link.
  http::AnswerHead head;
  EXPECT_EQ(plain.url.resolve(TemplateSource("https://x/1", head, "a.png")), "https://x/1");
}

TEST(UploaderFile, RefusesABadFileSayingWhatIsWrong) {
  EXPECT_EQ(refusal("RequestURL=http://x"), "Not valid JSON: a value expected at byte 1.");
  EXPECT_EQ(refusal("[]"), "It is not a JSON object.");
  EXPECT_EQ(refusal(R"({"Name": "x"})"), "It has no RequestURL.");
  EXPECT_EQ(refusal(R"({"RequestURL": "ftp://x/", "Body": "None"})"),
            "RequestURL \"ftp://x/\" is not an http or https address.");
  EXPECT_EQ(refusal(R"({"RequestURL": "http://x/a b", "Body": "None"})"),
            "RequestURL \"http://x/a b\" is not an http or https address.");
  EXPECT_EQ(refusal(R"({"RequestURL": "http://x/", "Body": "Raw"})"),
            "Body \"Raw\" is not one of MultipartFormData, Binary, FormURLEncoded, JSON, None.");
  EXPECT_EQ(refusal(R"({"RequestURL": "http://x/", "Body": "None", "RequestMethod": "DELETE"})"),
            "RequestMethod \"DELETE\" is not one of POST, PUT.");
  EXPECT_EQ(refusal(R"({"RequestURL": "http://x/", "Body": "None", "Headers": {"X-A": "1\r\nHost: y"}})"),
            "Headers: the value of \"X-A\" holds a line break or a control character.");
  EXPECT_EQ(refusal(R"({"RequestURL": "http://x/", "Body": "None", "Headers": {"X A": "1"}})"),
            "Headers: \"X A\" is not a header name.");
  EXPECT_EQ(refusal(R"({"RequestURL": "http://x/", "Body": "None", "Headers": {"content-length": "1"}})"),
            "Headers: \"content-length\" is written by Glimor itself.");
  EXPECT_EQ(refusal(R"({"RequestURL": "http://x/"})"),
            "It has no FileFormName, which a MultipartFormData body needs.");
  EXPECT_EQ(refusal(R"({"RequestURL": "http://x/", "Body": "None", "Arguments": {"a": 1}})"),
            "Arguments \"a\" is not a text.");
  EXPECT_EQ(refusal(R"({"RequestURL": "http://x/", "Body": "None", "URL": "{json:a"})"),
            "URL: A { has no } after it in \"{json:a\".");
  EXPECT_EQ(refusal(R"({"RequestURL": "http://x/{json:a}", "Body": "None"})"),
            "RequestURL: {json:a} reads the answer, so it cannot be part of the request.");
  EXPECT_EQ(refusal(R"({"RequestURL": "http://x/", "Body": "None", "Name": "x")" +
                    std::string(uploaderFileLimit, ' ') + "\"}"),
            "It is larger than 65536 bytes.");
}

TEST(UploaderFile, AFileThatCannotBeReadIsNamedInTheRefusal) {
  fakes::FakeFiles files;
  files.contents["C:\\Apps\\bad.sxcu"] = {'{', '}'};
  auto refusalOf = [&files](const std::string& path) {
    try {
      readUploaderFile(files, path);
    } catch (const Error& error) {
      return std::string(error.what());
    }
    return std::string("taken");
  };
  EXPECT_EQ(refusalOf("C:\\Apps\\none.sxcu"), "Cannot open the uploader file \"C:\\Apps\\none.sxcu\".");
  EXPECT_EQ(refusalOf("C:\\Apps\\bad.sxcu"), "Uploader file \"C:\\Apps\\bad.sxcu\": It has no RequestURL.");
}

} // namespace
} // namespace glimor::net
