#include "answer_metrics.h"
#include "json_text.h"
#include "metrics.h"
#include "routes.h"
#include "service.h"
#include "sha256.h"
#include "sqlite_token_store.h"
#include "temp_folder.h"
#include "token_store.h"
#include "webm_for_tests.h"

#include <cctype>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <sqlite3.h>

namespace glimor::server {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using testing::TempFolder;

class ServiceTest : public ::testing::Test {
protected:
  Config configWith(std::optional<std::string> publicUrl = std::nullopt) {
    Config config;
    config.dataDirectory = (data.path() / "data").string();
    config.publicUrl = std::move(publicUrl);
    config.updatesDirectory = (data.path() / "updates").string();
    config.maxUploadBytes = 4096;
    config.keepMetadata = keepMetadata; // the test images carry text where framing may break
    return config;
  }

  Request request(std::string method, std::string target, std::string body = "") {
    Request request;
    request.method = std::move(method);
    request.target = std::move(target);
    request.host = "localhost:8080";
    request.body = std::move(body);
    request.clientAddress = "127.0.0.1";
    request.localAddress = "127.0.0.1:8080";
    return request;
  }

  Request upload(std::string_view extension, std::string_view image) {
    Request post = request(
        "POST", "/guestglimor.php",
        testing::programUploadBody("C:\\Apps\\Glimor\\Glimor." + std::string(extension), extension, image));
    post.contentType = testing::programContentType;
    return post;
  }

  // The link as the program takes it: the text after "Link: " on the last line.
  static std::string linkOf(const Response& response) {
    std::string body = response.body;
    while (body.ends_with('\n') || body.ends_with('\r')) body.pop_back();
    std::string last = body.substr(body.find_last_of("\r\n") + 1);
    EXPECT_THAT(last, StartsWith("Link: "));
    return last.substr(6);
  }

  std::string statusAndReason(const Request& r) {
    Response response = route(service, r);
    return std::to_string(response.status) + " " + response.reason;
  }

  static std::string pathOfLink(const std::string& link) { return link.substr(link.find('/', 7)); }

  TempFolder data;
  bool keepMetadata = true;
  Service service{configWith()};
};

TEST_F(ServiceTest, EveryImageTypeComesBackUnchanged) {
  for (auto [extension, image, mime] : {std::tuple{"jpg", testing::jpegBytes(), "image/jpeg"},
                                        std::tuple{"bmp", testing::bmpBytes(), "image/bmp"},
                                        std::tuple{"gif", testing::gifBytes(), "image/gif"},
                                        std::tuple{"png", testing::pngBytes(), "image/png"}}) {
    Response stored = route(service, upload(extension, image));
    ASSERT_EQ(stored.status, 200) << stored.reason;
    std::string link = linkOf(stored);
    EXPECT_THAT(link, StartsWith("http://localhost:8080/i/"));

    Response fetched = route(service, request("GET", pathOfLink(link)));
    EXPECT_EQ(fetched.status, 200);
    EXPECT_EQ(fetched.payload(), image);
    EXPECT_EQ(fetched.contentType, mime);
    std::string fileName = pathOfLink(link).substr(3);
    EXPECT_THAT(fetched.headers, ::testing::IsSupersetOf(std::vector<std::pair<std::string, std::string>>{
                                     {"X-Content-Type-Options", "nosniff"},
                                     {"Content-Security-Policy", "default-src 'none'; sandbox"},
                                     {"Content-Disposition", "inline; filename=\"" + fileName + "\""}}));
  }
}

TEST_F(ServiceTest, TheExtensionClaimedByTheClientDoesNotDecideTheType) {
  Response stored = route(service, upload("jpg", testing::pngBytes()));
  ASSERT_EQ(stored.status, 200);
  EXPECT_THAT(linkOf(stored), ::testing::EndsWith(".png"));
}

TEST_F(ServiceTest, LinkStartsWithTheHostLineOrThePublicUrl) {
  Request post = upload("png", testing::pngBytes());
  post.host = "MyBox:8080";
  EXPECT_THAT(linkOf(route(service, post)), StartsWith("http://MyBox:8080/i/"));

  Service behindProxy{configWith("http://img.example.org")};
  EXPECT_THAT(linkOf(route(behindProxy, upload("png", testing::pngBytes()))),
              StartsWith("http://img.example.org/i/"));

  post.host = "evil\r\nLink: http://elsewhere";
  Response refused = route(service, post);
  EXPECT_EQ(refused.status, 400);
}

TEST_F(ServiceTest, TheDeletionLinkDeletesOnlyByPostWithItsOwnSecret) {
  Response stored = route(service, upload("png", testing::pngBytes()));
  std::string body = stored.body;
  ASSERT_EQ(body.find("Image stored.\r\nDelete: http://localhost:8080/d/"), 0u) << body;
  std::string deletion = pathOfLink(body.substr(23, body.find("\r\n", 23) - 23));
  std::string image = pathOfLink(linkOf(stored));
  ASSERT_EQ(deletion.substr(3, 16), image.substr(3, 16)); // the same id
  std::string secret = deletion.substr(20);
  EXPECT_EQ(secret.size(), 24u);

  // The page only offers the button; neither it nor a wrong secret deletes.
  Response page = route(service, request("GET", deletion));
  EXPECT_EQ(page.status, 200);
  EXPECT_THAT(page.body, HasSubstr("<form method=\"post\" action=\"" + deletion + "\">"));
  std::string wrong = deletion.substr(0, 20) + (secret[0] == 'A' ? "B" : "A") + secret.substr(1);
  for (const std::string& target :
       {wrong, deletion.substr(0, 20), deletion + "x", "/d/AAAAAAAAAAAAAAAA/" + secret})
    EXPECT_EQ(statusAndReason(request("POST", target, "x")), "404 No such deletion link") << target;
  EXPECT_EQ(route(service, request("GET", image)).status, 200);

  Response deleted = route(service, request("POST", deletion, "delete=1"));
  EXPECT_EQ(deleted.status, 200);
  EXPECT_EQ(deleted.body, "Image deleted.\r\n");
  EXPECT_EQ(statusAndReason(request("GET", image)), "410 Gone");
  EXPECT_EQ(statusAndReason(request("HEAD", image)), "410 Gone");
  EXPECT_EQ(statusAndReason(request("POST", deletion)), "410 Image already deleted");
  EXPECT_EQ(statusAndReason(request("GET", deletion)), "410 Image already deleted");
}

// The upload's page: what chats' previews read in its head, the picture fitted
// with its link to copy, under the page's own policy; gone with the upload.
TEST_F(ServiceTest, AnUploadHasAPageForChatsUntilItIsDeleted) {
  Service behindProxy{configWith("https://img.example.org")};
  Response stored = route(behindProxy, upload("gif", testing::gifBytes()));
  const std::string link = linkOf(stored), id = link.substr(link.rfind('/') + 1, 16);
  EXPECT_THAT(stored.body, HasSubstr("\r\nPage: https://img.example.org/v/" + id + "\r\nLink: "));

  Response page = route(behindProxy, request("GET", "/v/" + id));
  ASSERT_EQ(page.status, 200) << page.body;
  EXPECT_EQ(page.contentType, "text/html; charset=utf-8");
  const std::string head = page.body.substr(0, 2048);
  for (const std::string& tag : {"property=\"og:image\" content=\"" + link + "\"",
                                 "property=\"og:url\" content=\"https://img.example.org/v/" + id + "\"",
                                 std::string("property=\"og:image:type\" content=\"image/gif\""),
                                 std::string("name=\"twitter:card\" content=\"summary_large_image\"")})
    EXPECT_THAT(head, HasSubstr(tag));
  EXPECT_THAT(page.body, HasSubstr("<img src=\"/i/" + id + ".gif\""));
  EXPECT_THAT(page.body, HasSubstr("readonly value=\"" + link + "\""));
  EXPECT_THAT(page.body, Not(HasSubstr("<script")));
  auto policy = std::find_if(page.headers.begin(), page.headers.end(),
                             [](auto& h) { return h.first == "Content-Security-Policy"; });
  ASSERT_NE(policy, page.headers.end());
  EXPECT_THAT(policy->second,
              StartsWith("default-src 'none'; img-src 'self'; media-src 'self'; style-src 'sha256-"));

  EXPECT_EQ(statusAndReason(request("GET", "/v/AAAAAAAAAAAAAAAA")), "404 No such upload");
  EXPECT_EQ(statusAndReason(request("GET", "/v/../../etc/passwd")), "404 No such upload");
  ASSERT_TRUE(behindProxy.images->remove(id));
  Response gone = route(behindProxy, request("GET", "/v/" + id));
  EXPECT_EQ(gone.status, 410);
  EXPECT_THAT(gone.body, Not(HasSubstr("og:image")));
}

// By default what a file tells of its maker is not stored, and the answer's
// size and the ETag are those of the bytes served.
TEST_F(ServiceTest, MetadataIsTakenOutUnlessKept) {
  keepMetadata = false;
  Service stripping{configWith()};
  Request post = upload("png", testing::pngBytes());
  post.accept = "application/json";
  Response stored = route(stripping, post);
  ASSERT_EQ(stored.status, 200) << stored.body;
  EXPECT_THAT(stored.body, HasSubstr("\"size\": 70}"));
  const std::string url = stored.body.substr(9, stored.body.find('"', 9) - 9);
  Response served = route(stripping, request("GET", pathOfLink(url)));
  EXPECT_EQ(served.payload().size(), 70u);
  EXPECT_EQ(served.payload().find("tEXt"), std::string::npos);
  auto etag =
      std::find_if(served.headers.begin(), served.headers.end(), [](auto& h) { return h.first == "ETag"; });
  ASSERT_NE(etag, served.headers.end());
  EXPECT_EQ(etag->second, "\"" + sha256Hex(served.payload()) + "\"");

  EXPECT_EQ(
      route(service, request("GET", pathOfLink(linkOf(route(service, upload("png", testing::pngBytes()))))))
          .payload(),
      testing::pngBytes())
      << "--keep-metadata";
}

TEST_F(ServiceTest, AnImageIsCachedByItsChecksum) {
  std::string link = linkOf(route(service, upload("gif", testing::gifBytes())));
  Response first = route(service, request("GET", pathOfLink(link)));
  auto etag =
      std::find_if(first.headers.begin(), first.headers.end(), [](auto& h) { return h.first == "ETag"; });
  ASSERT_NE(etag, first.headers.end());
  EXPECT_EQ(etag->second.size(), 66u);

  Request again = request("GET", pathOfLink(link));
  again.ifNoneMatch = etag->second;
  Response notModified = route(service, again);
  EXPECT_EQ(notModified.status, 304);
  EXPECT_TRUE(notModified.payload().empty());
}

// What ShareX and scripts get: JSON with the links, the picture's size and
// type, under any field name; refusals as {"error": ...} with the same status.
TEST_F(ServiceTest, AnUploadAskingForJsonGetsItsLinksAsJson) {
  Request post = upload("png", testing::pngBytes());
  post.accept = "application/json";
  post.body.replace(post.body.find("name=\"imgfile\""), 14, "name=\"file\"");
  Response stored = route(service, post);
  ASSERT_EQ(stored.status, 200) << stored.reason;
  EXPECT_EQ(stored.contentType, "application/json");
  std::smatch found;
  ASSERT_TRUE(std::regex_match(
      stored.body, found,
      std::regex("\\{\"url\": \"http://localhost:8080(/i/([A-Za-z0-9_-]{16})\\.png)\", "
                 "\"page_url\": \"http://localhost:8080/v/\\2\", "
                 "\"delete_url\": \"http://localhost:8080(/d/[A-Za-z0-9_-]{16}/[A-Za-z0-9_-]{24})\", "
                 "\"thumbnail_url\": \"http://localhost:8080(/t/[A-Za-z0-9_-]{16}\\.jpg)\", "
                 "\"width\": 2, \"height\": 1, \"type\": \"image/png\", \"size\": 94\\}\n")))
      << stored.body;
  EXPECT_EQ(route(service, request("GET", found[1])).payload(), testing::pngBytes());
  Response thumbnail = route(service, request("GET", found[4]));
  EXPECT_EQ(thumbnail.status, 200);
  EXPECT_EQ(thumbnail.contentType, "image/jpeg");
  EXPECT_TRUE(thumbnail.payload().starts_with("\xff\xd8\xff")) << "a JPEG file";
  EXPECT_EQ(route(service, request("POST", found[3], "x")).status, 200);
  EXPECT_EQ(statusAndReason(request("GET", found[4])), "410 Gone") << "the thumbnail goes with its image";
  EXPECT_EQ(statusAndReason(request("GET", "/t/AAAAAAAAAAAAAAAA.jpg")), "404 No such thumbnail");

  Request notAnImage = upload("png", "<html>");
  notAnImage.accept = "text/html, application/json;q=0.9";
  Response refused = route(service, notAnImage);
  EXPECT_EQ(refused.status, 415);
  EXPECT_EQ(refused.reason, "Not a complete BMP, JPEG, GIF or PNG image");
  EXPECT_EQ(refused.body, "{\"error\": \"Not a complete BMP, JPEG, GIF or PNG image\"}\n");
  Request get = request("GET", "/guestglimor.php");
  get.accept = "application/json";
  EXPECT_EQ(route(service, get).body, "{\"error\": \"Method not allowed here, use POST\"}\n");
  EXPECT_EQ(jsonString("a\"b\\c\r\n\x01\xe9"), "\"a\\\"b\\\\c\\u000d\\u000a\\u0001\\u00e9\"");
  // Every control byte is escaped, and every byte reads back as the character of its number.
  const std::map<char, char> shortForms = {{'"', '"'},  {'\\', '\\'}, {'b', '\b'}, {'f', '\f'},
                                           {'n', '\n'}, {'r', '\r'},  {'t', '\t'}};
  for (int byte = 0; byte < 256; ++byte) {
    const std::string quoted = jsonString(std::string(1, char(byte)));
    ASSERT_TRUE(quoted.size() >= 3 && quoted.front() == '"' && quoted.back() == '"') << byte;
    const std::string inner = quoted.substr(1, quoted.size() - 2);
    int read = -1;
    if (inner.size() == 1 && inner[0] >= 0x20 && inner[0] != '"' && inner[0] != '\\')
      read = static_cast<unsigned char>(inner[0]);
    else if (inner.size() == 2 && shortForms.contains(inner[1]) && inner[0] == '\\')
      read = static_cast<unsigned char>(shortForms.at(inner[1]));
    else if (inner.size() == 6 && inner.starts_with("\\u00") && std::isxdigit(inner[4]) &&
             std::isxdigit(inner[5]))
      read = std::stoi(inner.substr(4), nullptr, 16);
    EXPECT_EQ(read, byte) << quoted;
  }
}

// A scrape after one upload: every family the operator's guide lists is there
// under its name and kind, and those an upload touches have samples.
TEST_F(ServiceTest, MetricsCarryEveryDocumentedFamilyAfterARequest) {
  Request post = upload("png", testing::pngBytes());
  Response stored = route(service, post);
  ASSERT_EQ(stored.status, 200);
  recordAnswer(post.target, stored, stored.body.size(), std::chrono::milliseconds(3));
  const std::string text = metrics().render();

  std::ifstream guide(std::string(GLIMOR_SOURCE_DIR) + "/docs/server.md");
  std::string line;
  while (std::getline(guide, line) && line != "## Metrics") {
  }
  std::size_t documented = 0;
  const std::regex row("^\\| (`glimor_\\w+`(?:, `glimor_\\w+`)*) \\| (counter|gauge|histogram) \\|.*");
  const std::regex name("glimor_\\w+");
  for (std::smatch cells; std::getline(guide, line) && !line.starts_with("## ");) {
    if (!std::regex_match(line, cells, row)) continue;
    for (std::sregex_iterator n(cells[1].first, cells[1].second, name), end; n != end; ++n, ++documented) {
      EXPECT_THAT(text, HasSubstr("# TYPE " + n->str() + " " + cells[2].str() + "\n"));
    }
  }
  std::size_t families = 0;
  for (std::size_t at = text.find("# TYPE "); at != std::string::npos; at = text.find("# TYPE ", at + 1))
    ++families;
  EXPECT_EQ(documented, families) << "each family is in the guide's table, and only those";
  for (const char* family : {"glimor_uploads_total ", "glimor_upload_bytes_total ", "glimor_responses_total{",
                             "glimor_request_duration_seconds_count{", "glimor_sent_bytes_total ",
                             "glimor_store_duration_seconds_count{"})
    EXPECT_THAT(text, HasSubstr("\n" + std::string(family))) << "no sample";
}

TEST_F(ServiceTest, RefusalsSayWhy) {
  Request noImage = upload("png", testing::pngBytes());
  noImage.body =
      "-----------------------------7d6891e3b0542\r\nContent-Disposition: form-data; name=\"imgfile\""
      "\r\n\r\nx\r\n-----------------------------7d6891e3b0542--\r\n";
  EXPECT_EQ(statusAndReason(noImage), "400 No file in the upload");
  auto filePart = [](std::string_view name, std::string_view content) {
    return "-----------------------------7d6891e3b0542\r\nContent-Disposition: form-data; name=\"" +
           std::string(name) + "\"; filename=\"a.png\"\r\n\r\n" + std::string(content) + "\r\n";
  };
  constexpr std::string_view closing = "-----------------------------7d6891e3b0542--\r\n";
  Request twoFiles = upload("png", testing::pngBytes());
  twoFiles.body = filePart("other", "x") + filePart("imgfile", testing::pngBytes()) + std::string(closing);
  EXPECT_EQ(route(service, twoFiles).status, 200) << "Glimor's part is taken among others";
  twoFiles.body = filePart("other", "x") + filePart("image", testing::pngBytes()) + std::string(closing);
  EXPECT_EQ(statusAndReason(twoFiles), "400 More than one file in the upload");

  Request wrongBoundary = upload("png", testing::pngBytes());
  wrongBoundary.contentType = "multipart/form-data; boundary=other";
  EXPECT_EQ(statusAndReason(wrongBoundary), "400 Body does not start with the boundary");

  Request truncated = upload("png", testing::pngBytes());
  truncated.body.resize(truncated.body.size() - 20);
  EXPECT_EQ(statusAndReason(truncated), "400 Truncated multipart body");

  EXPECT_EQ(statusAndReason(upload("png", "GIF? no, plain text")),
            "415 Not a complete BMP, JPEG, GIF or PNG image");
  EXPECT_EQ(statusAndReason(upload("gif", "GIF89a<html><script>alert(1)</script></html>")),
            "415 Not a complete BMP, JPEG, GIF or PNG image");
  EXPECT_EQ(statusAndReason(upload("png", "")), "400 The uploaded file is empty");
  EXPECT_EQ(statusAndReason(upload("png", testing::pngBytes() + std::string(5000, 'x'))),
            "413 Image larger than 4096 bytes");

  Request notMultipart = upload("png", testing::pngBytes());
  notMultipart.contentType = "application/x-www-form-urlencoded";
  EXPECT_EQ(statusAndReason(notMultipart), "415 Upload must be multipart/form-data");

  EXPECT_EQ(statusAndReason(request("GET", "/guestglimor.php")), "405 Method not allowed here, use POST");
  EXPECT_EQ(statusAndReason(request("DELETE", "/i/AAAAAAAAAAAAAAAA.png")),
            "405 Method not allowed here, use GET, HEAD");
}

TEST_F(ServiceTest, NoRequestPathReachesTheFileSystem) {
  std::string link = linkOf(route(service, upload("png", testing::pngBytes())));
  std::string id = pathOfLink(link).substr(3, 16);
  for (std::string target : std::vector<std::string>{
           "/i/../glimor.db", "/i/../../data/glimor.db", "/i/" + id + ".jpg", "/i/" + id,
           "/i/" + id.substr(0, 2) + "/" + id + ".png", "/i/%2e%2e/glimor.db", "/glimor.db",
           "/images/" + id.substr(0, 2) + "/" + id + ".png", "/../data/glimor.db", "/newglimor.txt",
           "/..%2fdata%2fglimor.db", "//etc/passwd", "/i/AAAAAAAAAAAAAAAA.png"})
    EXPECT_EQ(route(service, request("GET", target)).status, 404) << target;
  EXPECT_EQ(route(service, request("GET", "http://localhost/")).status, 400);
}

TEST_F(ServiceTest, FeedbackIsStoredByteForByte) {
  std::string body = "name=Ann&email=none&cat=2&text=Hi&bye\r\n2nd\r\n\r\n";
  Response answer = route(service, request("POST", "/glimor/index.php?do=contact", body));
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(route(service, request("POST", "/glimor/index.php?do=contact", "garbage")).status, 400);
  EXPECT_EQ(route(service, request("POST", "/glimor/index.php?do=other", body)).status, 404);

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((data.path() / "data" / "glimor.db").c_str(), &db), SQLITE_OK);
  sqlite3_stmt* row = nullptr;
  sqlite3_prepare_v2(db, "SELECT name, email, category, text, client_address FROM feedback", -1, &row,
                     nullptr);
  ASSERT_EQ(sqlite3_step(row), SQLITE_ROW);
  auto column = [&](int i) {
    return std::string(static_cast<const char*>(sqlite3_column_blob(row, i)), sqlite3_column_bytes(row, i));
  };
  EXPECT_EQ(column(0), "Ann");
  EXPECT_EQ(column(1), "none");
  EXPECT_EQ(column(2), "2");
  EXPECT_EQ(column(3), "Hi&bye\r\n2nd");
  EXPECT_EQ(column(4), "127.0.0.1");
  EXPECT_EQ(sqlite3_step(row), SQLITE_DONE) << "only the well-formed feedback is stored";
  sqlite3_finalize(row);
  sqlite3_close(db);
}

TEST_F(ServiceTest, UpdatesAreServedOnlyWhenPublished) {
  EXPECT_EQ(route(service, request("GET", "/newglimor.txt")).status, 404);
  std::filesystem::create_directories(data.path() / "updates");
  testing::writeFile(data.path() / "updates" / "newglimor.txt",
                     "http://localhost:8080/Glimor2.exe\r\nGlimor2.exe\r\n1.02\r\n");
  testing::writeFile(data.path() / "updates" / "Glimor2.exe", "MZ new program");
  testing::writeFile(data.path() / "updates" / "secret.txt", "not published");

  Response version = route(service, request("GET", "/newglimor.txt"));
  EXPECT_EQ(version.status, 200);
  EXPECT_EQ(version.body, "http://localhost:8080/Glimor2.exe\r\nGlimor2.exe\r\n1.02\r\n");
  Response program = route(service, request("GET", "/Glimor2.exe"));
  EXPECT_EQ(program.status, 200);
  ASSERT_TRUE(program.streamedBody);
  EXPECT_EQ(program.streamedBody->read(0, 100), "MZ new program");
  EXPECT_EQ(program.contentType, "application/octet-stream");
  EXPECT_EQ(route(service, request("GET", "/secret.txt")).status, 404);
  EXPECT_EQ(route(service, request("GET", "/../updates/Glimor2.exe")).status, 404);
}

TEST_F(ServiceTest, HomePageTellsHowToPointGlimorHere) {
  Response page = route(service, request("GET", "/"));
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.contentType, "text/html; charset=utf-8");
  EXPECT_THAT(page.body, HasSubstr("[Service]\nHost=localhost:8080<"));
  EXPECT_THAT(page.body, Not(HasSubstr("CACertificate")));
  EXPECT_THAT(page.body, HasSubstr("<a href=\"/my\">your uploads</a>"));
  // Over HTTPS Glimor needs the scheme in its Host setting, and a private CA's certificate.
  Request secure = request("GET", "/");
  secure.scheme = "https";
  Response securePage = route(service, secure);
  EXPECT_THAT(securePage.body, HasSubstr("[Service]\nHost=https://localhost:8080<"));
  EXPECT_THAT(securePage.body, HasSubstr("CACertificate="));
  EXPECT_THAT(securePage.body, HasSubstr("the link starts with <code>https://localhost:8080/</code>"));
  Request odd = request("GET", "/");
  odd.host = "<script>";
  EXPECT_EQ(route(service, odd).status, 400);
}

// The page of one's uploads: signed in by token, fifty a page, deleting only
// with the session's own form value, and gone with the token.
TEST_F(ServiceTest, ThePageOfOnesUploadsListsFiftyAPageAndDeletesOnlyWithItsForm) {
  const std::string token = newUploadToken();
  service.tokens->add("ann", tokenHash(token));
  service.gate->refreshTokens();
  std::vector<std::string> ids;
  for (int i = 0; i < 51; ++i) {
    Request post = upload("gif", testing::gifBytes());
    post.caller.tokenName = "ann";
    ids.push_back(pathOfLink(linkOf(route(service, post))).substr(3, 16));
  }
  route(service, upload("gif", testing::gifBytes())); // anonymous: nobody's page
  Request bobs = upload("gif", testing::gifBytes());
  bobs.caller.tokenName = "bob";
  const std::string bobsImage = pathOfLink(linkOf(route(service, bobs)));
  Request recording =
      upload("webm", testing::webmOf(testing::vpxFrames(false, 64, 48, 2), {.durationMs = 72'400}));
  recording.caller.tokenName = "ann";
  const std::string recorded = pathOfLink(linkOf(route(service, recording))).substr(3, 16);

  // A sign-in as the page's own form posts it: with the value the page gave the browser.
  auto signIn = [&](const std::string& tokenField) {
    Response form = route(service, request("GET", "/my"));
    std::smatch value;
    EXPECT_TRUE(std::regex_search(form.body, value, std::regex("name=\"csrf\" value=\"([\\w-]{43})\"")));
    EXPECT_THAT(form.headers, ::testing::Contains(::testing::Pair(
                                  "Set-Cookie", "glimor_sign_in=" + value[1].str() +
                                                    "; Path=/my; HttpOnly; SameSite=Strict")));
    Request post = request("POST", "/my/login", "csrf=" + value[1].str() + "&token=" + tokenField);
    post.cookie = "glimor_sign_in=" + value[1].str();
    post.origin = "http://LocalHost:8080";
    return post;
  };
  EXPECT_EQ(statusAndReason(signIn(std::string(43, 'A'))), "401 ");
  // From another site, or without the form's value: refused, nobody signed in.
  std::vector<Request> forged(5, signIn(token));
  forged[0].origin = "http://localhost:8081";
  forged[1].origin = "null";
  forged[2].origin = "";
  forged[2].referer = "https://evil.example/my";
  forged[3].cookie = "";
  forged[4].body = "token=" + token + "&csrf=" + std::string(43, 'A');
  for (const Request& post : forged) {
    Response refused = route(service, post);
    EXPECT_EQ(refused.status, 403) << post.origin << post.referer << post.body;
    EXPECT_THAT(refused.body, HasSubstr("nobody was signed in"));
    for (const auto& [name, value] : refused.headers) EXPECT_THAT(value, Not(HasSubstr("glimor_session")));
  }
  Request secureSignIn = signIn("+" + token + "%0D%0A"); // as pasted
  secureSignIn.origin = "";
  secureSignIn.referer = "https://localhost:8080/my";
  secureSignIn.scheme = "https";
  Response signedIn = route(service, secureSignIn);
  ASSERT_EQ(signedIn.status, 303);
  std::smatch cookie;
  std::string setCookie;
  for (const auto& [name, value] : signedIn.headers)
    if (name == "Set-Cookie") setCookie = value;
  ASSERT_TRUE(std::regex_match(setCookie, cookie,
                               std::regex("(glimor_session=[\\w-]{43}); Path=/; Max-Age=28800; HttpOnly; "
                                          "SameSite=Strict; Secure")))
      << setCookie;
  auto withCookie = [&](Request r) {
    r.cookie = "other=1; " + cookie[1].str();
    return r;
  };
  auto count = [](const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  Response first = route(service, withCookie(request("GET", "/my")));
  EXPECT_EQ(count(first.body, "class=\"link\""), 50u);
  // The recording, newest, shows its thumbnail and how long it plays; pictures show neither.
  EXPECT_THAT(first.body, HasSubstr("<img src=\"/t/" + recorded + ".jpg\""));
  EXPECT_THAT(first.body, HasSubstr(recorded + ".webm\" aria-label=\"Link to copy\">\n<div class=\"meta\">"
                                               "<span class=\"duration\">Video, 1:12</span>"));
  EXPECT_EQ(count(first.body, "class=\"duration\""), 1u);
  EXPECT_THAT(first.body, HasSubstr("<a href=\"/my?page=1\">Older</a>"));
  EXPECT_THAT(first.body, Not(HasSubstr("Newer")));
  EXPECT_THAT(first.body, Not(HasSubstr(token)));
  Response second = route(service, withCookie(request("GET", "/my?page=1")));
  EXPECT_EQ(count(second.body, "class=\"link\""), 2u);
  EXPECT_THAT(second.body, HasSubstr("<a href=\"/my?page=0\">Newer</a>"));
  EXPECT_THAT(first.headers,
              ::testing::Contains(::testing::Pair(
                  "Content-Security-Policy",
                  ::testing::StartsWith(
                      "default-src 'none'; img-src 'self'; media-src 'self'; style-src 'sha256-"))));

  std::smatch csrf;
  ASSERT_TRUE(std::regex_search(first.body, csrf, std::regex("name=\"csrf\" value=\"([\\w-]{43})\"")));
  const std::string victim = "id=" + ids[0] + "&page=0&csrf=";
  EXPECT_EQ(route(service, withCookie(request("POST", "/my/delete", victim + std::string(43, 'A')))).status,
            403);
  EXPECT_EQ(route(service, request("POST", "/my/delete", victim + csrf[1].str())).status, 401)
      << "no session";
  EXPECT_EQ(route(service, request("GET", "/i/" + ids[0] + ".gif")).status, 200);
  const std::string notAnns = "id=" + bobsImage.substr(3, 16) + "&page=0&csrf=" + csrf[1].str();
  EXPECT_EQ(route(service, withCookie(request("POST", "/my/delete", notAnns))).status, 404);
  EXPECT_EQ(route(service, request("GET", bobsImage)).status, 200) << "another token's upload stays";
  Response deleted = route(service, withCookie(request("POST", "/my/delete", victim + csrf[1].str())));
  EXPECT_EQ(deleted.status, 303);
  EXPECT_EQ(statusAndReason(request("GET", "/i/" + ids[0] + ".gif")), "410 Gone");

  // A revoked token ends its sessions at once.
  service.tokens->revoke("ann");
  service.gate->refreshTokens();
  EXPECT_THAT(route(service, withCookie(request("GET", "/my"))).body, HasSubstr("name=\"token\""));
}

TEST(BrowserSessions, AreBoundedInTimeAndNumber) {
  TempFolder data;
  SqliteTokenStore store(data.path());
  BrowserSessions sessions(store);
  auto now = BrowserSessions::Clock::now();
  std::string first = sessions.open("hash", "ann", now);
  EXPECT_EQ(sessions.find(first, now + std::chrono::hours(7))->tokenName, "ann");
  EXPECT_FALSE(sessions.find(first, now + BrowserSessions::lifetime));
  first = sessions.open("hash", "ann", now);
  for (std::size_t i = 1; i < BrowserSessions::maxPerToken; ++i)
    sessions.open("hash", "ann", now + std::chrono::seconds(i));
  std::string other = sessions.open("other", "bob", now);
  EXPECT_TRUE(sessions.find(first, now));
  sessions.open("hash", "ann", now + std::chrono::minutes(1)); // one too many for ann: her oldest goes
  EXPECT_FALSE(sessions.find(first, now));
  EXPECT_TRUE(sessions.find(other, now));
  EXPECT_FALSE(sessions.find("", now));
  // Revoking a token ends its sessions in the store, for every node on it.
  store.add("bob", "other");
  EXPECT_TRUE(store.revoke("bob"));
  EXPECT_FALSE(sessions.find(other, now));
}

TEST_F(ServiceTest, UploadLimitLeavesRoomForTheFraming) {
  EXPECT_EQ(bodyLimit(service.config, routeOf("/guestglimor.php")), 4096u + 64 * 1024);
  EXPECT_EQ(bodyLimit(service.config, routeOf("/glimor/index.php?do=contact")), 64u * 1024);
}

} // namespace
} // namespace glimor::server
