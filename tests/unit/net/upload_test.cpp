#include "fakes/fake_network.h"
#include "fakes/fake_tls.h"
#include "fakes/recording_upload_view.h"
#include "http/bearer_token.h"
#include "net/service_clients.h"
#include "net/upload.h"
#include "platform/files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace glimor::net {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class Upload : public ::testing::Test {
protected:
  void SetUp() override {
    folder =
        std::filesystem::temp_directory_path() /
        ("glimor-upload-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
         "-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  std::string pathOf(const std::string& name) const { return (folder / name).string(); }
  void writeImage(const std::string& name, std::string_view bytes) {
    files.replace(pathOf(name), std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  }
  UploadOutcome upload(fakes::RecordingUploadView& view) {
    return uploadImage(view, clients, ServiceSettings{.host = "svc"}, files);
  }

  std::filesystem::path folder;
  platform::Files& files = platform::systemFiles();
  fakes::FakeNetwork network;
  ServiceClients clients{network, nullptr, [] { return ServiceSettings{.host = "svc"}; },
                         std::string(tokenOnOptionsPage)};
};

TEST_F(Upload, PostsTheImageAndCopiesTheLinkFromTheLastLine) {
  writeImage("Glimor.jpg", "JPEGDATA");
  network.answer("HTTP/1.1 200 OK\r\nContent-Length: 30\r\n\r\nOK\r\nLink: https://svc/abc123\r\n");
  fakes::RecordingUploadView view(pathOf("Glimor.jpg"));

  EXPECT_EQ(upload(view), UploadOutcome::Complete);
  EXPECT_THAT(view.effects, ElementsAre("status Uploading image...", "busy", "link https://svc/abc123",
                                        "copy https://svc/abc123", "remember https://svc/abc123  jpg 8",
                                        "status Upload complete.", "flood lock", "idle",
                                        "balloon Link copied: https://svc/abc123"));
  EXPECT_THAT(view.responseLines, ElementsAre("OK", "Link: https://svc/abc123"));
  const std::string& sent = network.connections.at(0)->sent;
  EXPECT_NE(
      sent.find("filename=\"" + pathOf("Glimor.jpg") + "\"\r\nContent-Type: image/jpg\r\n\r\nJPEGDATA\r\n"),
      std::string::npos);
  EXPECT_FALSE(files.exists(pathOf("Glimor.dat")));
}

TEST_F(Upload, WithCopyImageTheCapturesPictureStaysOnTheClipboardButARecordingsLinkIsCopied) {
  const ServiceSettings picture{.host = "svc", .copyPicture = true};
  for (const char* name : {"Glimor.png", "GlimorRecording.gif"}) {
    writeImage(name, "DATA");
    network.answer("HTTP/1.1 200 OK\r\nContent-Length: 30\r\n\r\nOK\r\nLink: https://svc/abc123\r\n");
    fakes::RecordingUploadView view(pathOf(name));
    EXPECT_EQ(uploadImage(view, clients, picture, files), UploadOutcome::Complete);
    const bool recording = std::string(name) == "GlimorRecording.gif";
    EXPECT_EQ(std::count(view.effects.begin(), view.effects.end(), "copy https://svc/abc123"),
              recording ? 1 : 0)
        << name;
    EXPECT_EQ(view.effects.back(),
              recording ? "balloon Link copied: https://svc/abc123"
                        : "balloon The picture is on the clipboard; its link: https://svc/abc123");
  }
}

TEST_F(Upload, RemembersTheDeletionLinkGivenOnALineBeforeTheLink) {
  writeImage("Glimor.gif", "GIF89a");
  const std::pair<const char*, const char*> answers[] = {
      {"Image stored.\r\nDelete: http://svc/d/ab/s3\r\nLink: http://svc/i/ab.gif\r\n", "http://svc/d/ab/s3"},
      {"Delete: http://old/d/1\nDelete: https://svc/d/2\nLink: http://svc/i/ab.gif", "https://svc/d/2"},
      {"Delete: javascript:alert(1)\r\nLink: http://svc/i/ab.gif", ""}, // no web link: none
      {"Image stored.\r\nLink: http://svc/i/ab.gif", ""},               // an older service
  };
  for (auto [body, deletionUrl] : answers) {
    network.answer(std::string("HTTP/1.1 200 OK\r\n\r\n") + body);
    fakes::RecordingUploadView view(pathOf("Glimor.gif"));
    EXPECT_EQ(upload(view), UploadOutcome::Complete) << body;
    EXPECT_THAT(view.effects, ::testing::Contains("remember " + view.link + " " + deletionUrl + " gif 6"))
        << body;
  }
}

TEST_F(Upload, WithLinkPageThePagesLinkIsCopiedWhereTheServiceNamesOne) {
  writeImage("Glimor.png", "PNG");
  const ServiceSettings page{.host = "svc", .pageLink = true};
  const std::pair<const char*, const char*> answers[] = {
      {"Image stored.\r\nDelete: http://svc/d/ab/s3\r\nPage: http://svc/v/ab\r\nLink: "
       "http://svc/i/ab.png\r\n",
       "http://svc/v/ab"},
      {"Image stored.\r\nLink: http://svc/i/ab.png", "http://svc/i/ab.png"},             // an older service
      {"Page: javascript:alert(1)\r\nLink: http://svc/i/ab.png", "http://svc/i/ab.png"}, // no web link
      {"Page: http://svc/v/ab\r\nLink: nothing", ""},                                    // no link at all
  };
  for (auto [body, copied] : answers) {
    network.answer(std::string("HTTP/1.1 200 OK\r\n\r\n") + body);
    fakes::RecordingUploadView view(pathOf("Glimor.png"));
    const UploadOutcome outcome = uploadImage(view, clients, page, files);
    EXPECT_EQ(outcome == UploadOutcome::Complete, *copied != 0) << body;
    EXPECT_EQ(std::count(view.effects.begin(), view.effects.end(), "copy " + std::string(copied)),
              *copied ? 1 : 0)
        << body;
  }
  network.answer("HTTP/1.1 200 OK\r\n\r\nPage: http://svc/v/ab\r\nLink: http://svc/i/ab.png");
  fakes::RecordingUploadView direct(pathOf("Glimor.png"));
  EXPECT_EQ(upload(direct), UploadOutcome::Complete);
  EXPECT_THAT(direct.effects, ::testing::Contains("copy http://svc/i/ab.png"));
}

TEST_F(Upload, FailsLikeAFailedPostWhenTheLastLineHoldsNoWebLink) {
  writeImage("shot.png", "PNG");
  const char* answers[] = {
      "Link: http://svc/abc123\r\n\r\n",                        // the last line is empty
      "<html><body>Sign in to the hotel network</body></html>", // a portal's page
      "Link: javascript:alert(1)",
      "Link: file:///C:/x",
      "Link: http://",
      "Link: http:///abc",
      "Link: http://svc/a b",
      "Link: http://svc/\x1b]0;owned\x07",
      "Link: abc123",
  };
  for (const char* body : answers) {
    network.answer(std::string("HTTP/1.1 200 OK\r\n\r\n") + body);
    fakes::RecordingUploadView view(pathOf("shot.png"));
    EXPECT_EQ(upload(view), UploadOutcome::Failed) << body;
    EXPECT_THAT(view.effects, ElementsAre("status Uploading image...", "busy",
                                          "box Error encountered during POST: The service's answer "
                                          "holds no link to the image.",
                                          "status Image could not be uploaded.", "flood lock", "idle"))
        << body;
  }
  EXPECT_NE(network.connections.at(0)->sent.find("Content-Type: image/png\r\n"), std::string::npos);
}

TEST_F(Upload, FailsWhenTheAnswerEndsBeforeItsAnnouncedEnd) {
  writeImage("Glimor.jpg", "J");
  network.answer("HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\nLink: http://svc/ab");
  network.answer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n13\r\nLink: http://svc/ab\r\n");
  for (int attempt = 0; attempt < 2; ++attempt) {
    fakes::RecordingUploadView view(pathOf("Glimor.jpg"));
    EXPECT_EQ(upload(view), UploadOutcome::Failed);
    EXPECT_EQ(view.link, "");
    EXPECT_THAT(view.effects, ::testing::Contains("box Error encountered during POST: The connection ended "
                                                  "before the answer was complete."));
  }
}

TEST_F(Upload, FailsWithTheRefusalOfTheServicesCertificate) {
  writeImage("Glimor.jpg", "J");
  fakes::FakeTls tls;
  tls.refusal = "The certificate of svc names another host.";
  ServiceSettings settings{.host = "https://svc"};
  ServiceClients secured{network, &tls, [&] { return settings; }, ""};
  fakes::RecordingUploadView view(pathOf("Glimor.jpg"));
  EXPECT_EQ(uploadImage(view, secured, settings, files), UploadOutcome::Failed);
  EXPECT_THAT(view.effects, ::testing::Contains("box Error encountered during POST: " + tls.refusal));
  EXPECT_EQ(view.link, "");
}

TEST_F(Upload, AFileTooLargeOrOfAKindRefusedIsSaidInTheUsersWords) {
  writeImage("GlimorRecording.webm", std::string(3 * 1024 * 1024 / 2, 'w'));
  network.answer(
      "HTTP/1.1 413 Payload Too Large\r\nContent-Length: 32\r\n\r\nUpload larger than 1048576 bytes");
  fakes::RecordingUploadView tooLarge(pathOf("GlimorRecording.webm"));
  EXPECT_EQ(upload(tooLarge), UploadOutcome::Failed);
  EXPECT_THAT(
      tooLarge.effects,
      ::testing::Contains("box Error encountered during POST: The file is 1.5 MB, more than the service "
                          "takes (at most 1.0 MB). Record a shorter or smaller part of the screen."));
  network.answer(
      "HTTP/1.1 415 Unsupported Media Type\r\nContent-Length: 28\r\n\r\nWebM video longer than 305 s");
  fakes::RecordingUploadView refused(pathOf("GlimorRecording.webm"));
  EXPECT_EQ(upload(refused), UploadOutcome::Failed);
  EXPECT_THAT(refused.effects,
              ::testing::Contains("box Error encountered during POST: WebM video longer than 305 s"));
}

TEST_F(Upload, ATokenRefusalSaysWhereTheTokenIsSetAndABadTokenIsNeverSent) {
  writeImage("Glimor.jpg", "J");
  network.answer("HTTP/1.1 401 Unauthorized\r\nContent-Length: 23\r\n\r\nUpload token required\r\n");
  fakes::RecordingUploadView refused(pathOf("Glimor.jpg"));
  EXPECT_EQ(upload(refused), UploadOutcome::Failed);
  EXPECT_THAT(refused.effects,
              ::testing::Contains("box Error encountered during POST: Upload token required. "
                                  "Set the upload token on the Options page."));

  fakes::RecordingUploadView badToken(pathOf("Glimor.jpg"));
  EXPECT_EQ(
      uploadImage(badToken, clients, ServiceSettings{.host = "svc", .token = "tok\r\nX-Injected: 1"}, files),
      UploadOutcome::Failed);
  EXPECT_THAT(badToken.effects, ::testing::Contains("box Error encountered during POST: " +
                                                    std::string(http::invalidTokenText)));
  EXPECT_THAT(badToken.effects, ::testing::Contains("status Image could not be uploaded."));
  EXPECT_EQ(network.connections.size(), 1u); // the refused one only
}

TEST_F(Upload, EndsEarlyWithoutSendingForAMissingFileOrAnUnknownType) {
  fakes::RecordingUploadView missing(pathOf("gone.jpg"));
  EXPECT_EQ(upload(missing), UploadOutcome::Canceled);
  EXPECT_THAT(missing.effects,
              ElementsAre("status Uploading image...", "busy", "status Action canceled!", "idle"));

  for (const char* name : {"Glimor.JPG", "notes.txt", "noextension"}) {
    writeImage(name, "x");
    fakes::RecordingUploadView view(pathOf(name));
    EXPECT_EQ(upload(view), UploadOutcome::UnknownFileType) << name;
    EXPECT_THAT(view.effects,
                ElementsAre("status Uploading image...", "busy", "status Unknown file type.", "idle"));
  }
  EXPECT_THAT(network.connections, IsEmpty());
}

TEST_F(Upload, ShowsAFailedPostThenReportsTheUploadAsFailed) {
  writeImage("Glimor.gif", "GIF87a");
  network.answer("HTTP/1.1 500 Internal Server Error\r\n\r\nLink: never");
  fakes::RecordingUploadView view(pathOf("Glimor.gif"));
  EXPECT_EQ(upload(view), UploadOutcome::Failed);
  EXPECT_THAT(view.effects,
              ElementsAre("status Uploading image...", "busy",
                          "box Error encountered during POST: HTTP/1.1 500 Internal Server Error",
                          "status Image could not be uploaded.", "flood lock", "idle"));
  EXPECT_FALSE(files.exists(pathOf("Glimor.dat")));
}

TEST_F(Upload, TellsATimeOutAndATokenRefusalFromOtherFailedPosts) {
  writeImage("Glimor.jpg", "J");
  network.script({fakes::silence()});
  network.answer("HTTP/1.1 401 Unauthorized\r\nContent-Length: 23\r\n\r\nUpload token required\r\n");
  network.answer("HTTP/1.1 429 Too Many Requests\r\nContent-Length: 0\r\n\r\n");
  fakes::RecordingUploadView view(pathOf("Glimor.jpg"));
  for (int attempt = 0; attempt < 3; ++attempt) EXPECT_EQ(upload(view), UploadOutcome::Failed);
  network.failConnect("Socket Error # 10060\r\nConnection timed out.");
  EXPECT_EQ(upload(view), UploadOutcome::Failed);
  EXPECT_THAT(view.postFailures, ElementsAre(PostFailure::TimedOut, PostFailure::TokenRefused,
                                             PostFailure::Other, PostFailure::TimedOut));
  EXPECT_THAT(view.effects, ::testing::Not(::testing::Contains(::testing::HasSubstr("balloon"))))
      << "each box told its failure";
}

TEST_F(Upload, AFailureThatNoBoxToldIsAnnouncedAndALinkNotCopiedToo) {
  writeImage("Glimor.jpg", "J");
  network.answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  fakes::RecordingUploadView empty(pathOf("Glimor.jpg"));
  EXPECT_EQ(upload(empty), UploadOutcome::Failed);
  EXPECT_EQ(empty.effects.back(), "error balloon Image could not be uploaded: The service gave no answer. "
                                  "\"Retry upload\" in the tray menu sends the capture again.");

  network.answer("HTTP/1.1 200 OK\r\n\r\nLink: http://svc/abc");
  fakes::RecordingUploadView held(pathOf("Glimor.jpg"));
  held.copies = false; // another program holds the clipboard
  EXPECT_EQ(upload(held), UploadOutcome::Complete);
  EXPECT_EQ(held.effects.back(),
            "error balloon The link could not be copied: another program holds the clipboard.");
}

TEST_F(Upload, NeverTakesALinkFromAnAnswerCutShortByAnError) {
  writeImage("Glimor.bmp", "BM");
  network.script({fakes::data("HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\nLink: http://svc/ab"),
                  fakes::failure("Socket Error # 10054\r\nConnection reset by peer.")});
  fakes::RecordingUploadView view(pathOf("Glimor.bmp"));
  EXPECT_EQ(upload(view), UploadOutcome::Failed);
  EXPECT_EQ(view.link, "");
  EXPECT_THAT(view.effects, ::testing::Contains("status Image could not be uploaded."));
}

TEST_F(Upload, FailsOnAnEmptyAnswerOrOneStartingWithAZeroByte) {
  writeImage("a.jpeg", "J");
  network.answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  network.answer(std::string("HTTP/1.1 200 OK\r\n\r\n\0Link: x", 27));
  for (int attempt = 0; attempt < 2; ++attempt) {
    fakes::RecordingUploadView view(pathOf("a.jpeg"));
    EXPECT_EQ(upload(view), UploadOutcome::Failed);
    EXPECT_THAT(view.effects, ::testing::Not(::testing::Contains(::testing::StartsWith("box"))));
    EXPECT_THAT(view.effects, ::testing::Contains("status Image could not be uploaded."));
  }
}

TEST_F(Upload, FailsWhenTheAnswerFileCannotBeWritten) {
  writeImage("Glimor.jpg", "J");
  std::filesystem::create_directory(folder / "Glimor.dat"); // a folder where the answer file would go
  network.answer("HTTP/1.1 200 OK\r\n\r\nLink: http://svc/abc");
  fakes::RecordingUploadView view(pathOf("Glimor.jpg"));
  EXPECT_EQ(upload(view), UploadOutcome::Failed);
  EXPECT_EQ(view.link, "");
}

TEST_F(Upload, StopsTheLastStepsAtTheFirstThatFails) {
  writeImage("Glimor.jpg", "J");
  network.answer("HTTP/1.1 200 OK\r\n\r\nLink: http://svc/abc");
  fakes::RecordingUploadView view(pathOf("Glimor.jpg"));
  view.throwOn = "idle";
  EXPECT_EQ(upload(view), UploadOutcome::Complete);
  EXPECT_EQ(view.effects.back(), "idle");
  EXPECT_TRUE(files.exists(pathOf("Glimor.dat")));
}

TEST_F(Upload, WritesTheAnswerBesideThePathTheWindowHoldsAtThatMoment) {
  writeImage("first.jpg", "J");
  network.answer("HTTP/1.1 200 OK\r\n\r\nLink: http://svc/abc");
  struct MovingView : fakes::RecordingUploadView {
    using RecordingUploadView::RecordingUploadView;
    std::string later;
    int reads = 0;
    std::string filePath() override { return ++reads == 1 ? path : later; }
  } view(pathOf("first.jpg"));
  view.later = pathOf("second.gif");
  view.throwOn = "idle"; // keeps the answer file, so the test can see where it went
  EXPECT_EQ(upload(view), UploadOutcome::Complete);
  EXPECT_TRUE(files.exists(pathOf("second.dat")));
  EXPECT_FALSE(files.exists(pathOf("first.dat")));
}

class UploadByUploaderFile : public Upload {
protected:
  UploadOutcome uploadBy(std::string_view uploaderText, fakes::RecordingUploadView& view) {
    writeImage("service.sxcu", uploaderText);
    return uploadImage(view, clients,
                       ServiceSettings{.host = "svc", .token = "tok", .uploaderFile = pathOf("service.sxcu")},
                       files);
  }
};

TEST_F(UploadByUploaderFile, TakesTheLinkAndTheDeletionLinkNestedInAJsonAnswer) {
  writeImage("Glimor.png", "PNGDATA");
  network.answer(
      "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n"
      R"({"data": {"links": [{"url": "https://img.example/a.png"}], "del": "https://img.example/d/s3"}})");
  fakes::RecordingUploadView view(pathOf("Glimor.png"));
  EXPECT_EQ(uploadBy(R"({"Name": "Img", "RequestURL": "http://img.example/api/upload", "FileFormName": "file",
      "Headers": {"Authorization": "Client-ID 42"}, "URL": "{json:data.links[0].url}",
      "DeletionURL": "{json:data.del}"})",
                     view),
            UploadOutcome::Complete);
  EXPECT_THAT(view.effects, ::testing::Contains(
                                "remember https://img.example/a.png https://img.example/d/s3 png 7 by GET"));
  EXPECT_THAT(view.effects, ::testing::Contains("copy https://img.example/a.png"));
  const fakes::ConnectionRecord& sent = *network.connections.at(0);
  EXPECT_EQ(sent.host, "img.example");
  EXPECT_EQ(sent.sent.rfind("POST /api/upload HTTP/1.0\r\n", 0), 0u);
  EXPECT_NE(sent.sent.find("\r\nAuthorization: Client-ID 42\r\n"), std::string::npos);
  EXPECT_EQ(sent.sent.find("Bearer"), std::string::npos) << "the service's token stays with the service";
  EXPECT_NE(
      sent.sent.find("name=\"file\"; filename=\"Glimor.png\"\r\nContent-Type: image/png\r\n\r\nPNGDATA"),
      std::string::npos);
}

TEST_F(UploadByUploaderFile, PutsTheRawFileAndTakesAPlainTextAnswerAsTheLink) {
  writeImage("Glimor.webm", "WEBM");
  network.answer("HTTP/1.1 201 Created\r\n\r\nhttps://files.example/Glimor.webm\n");
  fakes::RecordingUploadView view(pathOf("Glimor.webm"));
  EXPECT_EQ(uploadBy(R"({"RequestURL": "http://files.example/up/{filename}", "RequestMethod": "PUT",
      "Body": "Binary", "URL": "{response}"})",
                     view),
            UploadOutcome::Complete);
  EXPECT_EQ(view.link, "https://files.example/Glimor.webm");
  const std::string& sent = network.connections.at(0)->sent;
  EXPECT_EQ(sent.rfind("PUT /up/Glimor.webm HTTP/1.0\r\n", 0), 0u);
  EXPECT_NE(sent.find("\r\nContent-Type: video/webm\r\n"), std::string::npos);
  EXPECT_TRUE(sent.ends_with("\r\n\r\nWEBM"));
}

TEST_F(UploadByUploaderFile, FailsWithTheServicesErrorMessageAndWithoutALinkOnA2xx) {
  writeImage("Glimor.png", "P");
  const std::string uploader = R"({"RequestURL": "http://x.example/", "FileFormName": "f",
      "URL": "{json:url}", "ErrorMessage": "{json:error.message}"})";
  network.answer("HTTP/1.1 400 Bad Request\r\nContent-Length: 38\r\n\r\n"
                 R"({"error": {"message": "Quota spent"}})");
  network.answer("HTTP/1.1 200 OK\r\n\r\n"
                 R"j({"url": "javascript:alert(1)", "error": {"message": "No link"}})j");
  network.answer("HTTP/1.1 503 Service Unavailable\r\n\r\n<html>busy</html>");
  network.answer("HTTP/1.1 401 Unauthorized\r\nContent-Length: 13\r\n\r\nBad client id");
  network.answer("HTTP/1.1 500 Oops\r\n\r\n{\"error\": {\"message\": \"" + std::string(2000, 'x') + "\"}}");
  const std::string said[] = {"Quota spent", "No link", "HTTP/1.1 503 Service Unavailable", "Bad client id",
                              std::string(500, 'x') + "..."}; // a long message is cut for the box
  for (const std::string& words : said) {
    fakes::RecordingUploadView view(pathOf("Glimor.png"));
    EXPECT_EQ(uploadBy(uploader, view), UploadOutcome::Failed);
    EXPECT_THAT(view.effects, ::testing::Contains("box Error encountered during POST: " + words));
    EXPECT_THAT(view.postFailures, ElementsAre(PostFailure::Other)) << "not the image service's token";
    EXPECT_EQ(view.link, "");
  }
}

TEST_F(UploadByUploaderFile, ABadUploaderFileIsToldAndNothingIsSent) {
  writeImage("Glimor.png", "P");
  fakes::RecordingUploadView view(pathOf("Glimor.png"));
  EXPECT_EQ(uploadBy(R"({"RequestURL": "http://x/", "Body": "None", "Headers": {"A": "1\n2"}})", view),
            UploadOutcome::Failed);
  EXPECT_THAT(network.connections, IsEmpty());
  EXPECT_EQ(view.effects.back(),
            "error balloon Image could not be uploaded: Uploader file \"" + pathOf("service.sxcu") +
                "\": Headers: the value of \"A\" holds a line break or a control character. "
                "\"Retry upload\" in the tray menu sends the capture again.");
  EXPECT_TRUE(files.exists(pathOf("Glimor.png")));
}

} // namespace
} // namespace glimor::net
