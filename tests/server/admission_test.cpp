#include "admission.h"
#include "json_text.h"
#include "sqlite_token_store.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

namespace glimor::server {
namespace {

Config smallUploads() {
  Config config;
  config.maxUploadBytes = 1000;
  return config;
}

// admit() with the gate of a service whose tokens are in a store of its own.
struct Admission {
  explicit Admission(Config config = smallUploads()) : config(std::move(config)) {}
  testing::TempFolder data;
  SqliteTokenStore tokens{data.path()};
  Config config;
  std::optional<UploadGate> gate;
  std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();

  std::variant<Admitted, Turndown> of(const RequestHead& head) {
    if (!gate) gate.emplace(config, tokens, std::nullopt);
    return admit(head, config, *gate, now);
  }
  // "admitted" (with the token's name), or "STATUS reason|header: value".
  std::string refusalOf(const RequestHead& head) {
    auto result = of(head);
    if (auto* admitted = std::get_if<Admitted>(&result))
      return "admitted" + (admitted->caller.tokenName ? " " + *admitted->caller.tokenName : "");
    const auto& turndown = std::get<Turndown>(result);
    std::string text = std::to_string(turndown.status) + " " + turndown.reason;
    for (const auto& [name, value] : turndown.headers) text += "|" + name + ": " + value;
    return text;
  }
};

std::string refusalOf(const RequestHead& head) {
  return Admission().refusalOf(head);
}

TEST(Admission, RefusesBadHeadsBeforeTheirBody) {
  RequestHead upload{"POST", "/guestglimor.php", 8, 1, 500, false};
  EXPECT_EQ(refusalOf(upload), "admitted");
  RequestHead tooMany = upload;
  tooMany.headerLines = 65;
  EXPECT_EQ(refusalOf(tooMany), "431 Too many header lines");
  RequestHead twoHosts = upload;
  twoHosts.hostLines = 2;
  EXPECT_EQ(refusalOf(twoHosts), "400 More than one Host line");
  RequestHead noLength = upload;
  noLength.contentLength.reset();
  EXPECT_EQ(refusalOf(noLength), "411 Content-Length required");
  RequestHead large = upload;
  large.contentLength = 1000 + 64 * 1024 + 1;
  EXPECT_EQ(refusalOf(large), "413 Upload larger than 1000 bytes");
  RequestHead largeForm{"POST", "/glimor/index.php?do=contact", 8, 1, 64 * 1024 + 1, false};
  EXPECT_EQ(refusalOf(largeForm), "413 Request body too large");
}

TEST(Admission, ClaimsWhatTheBodyMayHold) {
  Admission admission;
  auto claimOf = [&](RequestHead head) { return std::get<Admitted>(admission.of(head)).bodyClaim; };
  EXPECT_EQ(claimOf({"POST", "/guestglimor.php", 8, 1, 500, false}), 500u);
  EXPECT_EQ(claimOf({"POST", "/guestglimor.php", 8, 1, std::nullopt, true}), 1000u + 64 * 1024);
  EXPECT_EQ(claimOf({"GET", "/i/x.png", 3, 1, std::nullopt, false}), 0u);
}

// Tokens and limits are decided from the head: a refusal costs the service no
// body room and no body byte.
TEST(Admission, DecidesTokensAndLimitsAtTheHead) {
  Config config = smallUploads();
  config.uploads = UploadAccess::token;
  config.uploadsPerMinute = 2;
  config.feedbackPerMinute = 1;
  Admission admission(config);
  std::string ann = newUploadToken(), bob = newUploadToken();
  admission.tokens.add("ann", tokenHash(ann));
  admission.tokens.add("bob", tokenHash(bob));
  std::string annLine = "Bearer " + ann, bobLine = "Bearer " + bob;
  RequestHead upload{"POST", "/guestglimor.php", 8, 1, 500, false, "", "192.0.2.1"};

  EXPECT_EQ(admission.refusalOf(upload), "401 Upload token required|WWW-Authenticate: Bearer");
  RequestHead wrong = upload;
  wrong.authorization = "Bearer nonsense";
  EXPECT_EQ(admission.refusalOf(wrong), "401 Upload token not valid|WWW-Authenticate: Bearer");
  RequestHead withToken = upload;
  withToken.authorization = annLine;
  // A head counts nothing until its body has come: heads that never send one spend no upload.
  for (int i = 0; i < 5; ++i) EXPECT_EQ(admission.refusalOf(withToken), "admitted ann");
  Caller annCaller{"ann"};
  admission.gate->countUpload(annCaller, "192.0.2.1", 500, admission.now);
  admission.gate->countUpload(annCaller, "192.0.2.9", 500, admission.now);
  EXPECT_EQ(admission.refusalOf(withToken), "429 Too many uploads, try again in 30 s|Retry-After: 30");
  // Two heads admitted at once: the body that comes last finds the limit reached.
  EXPECT_THROW(admission.gate->countUpload(annCaller, "192.0.2.1", 500, admission.now), Refusal);
  // Uploads count per token, wherever they come from.
  RequestHead bobsUpload = upload;
  bobsUpload.authorization = bobLine;
  EXPECT_EQ(admission.refusalOf(bobsUpload), "admitted bob");
  // Reads are never asked for a token.
  EXPECT_EQ(admission.refusalOf({"GET", "/i/x.png", 3, 1, std::nullopt, false, "", "192.0.2.1"}), "admitted");

  // Feedback counts per address, whichever token comes with it.
  RequestHead feedback{"POST", "/glimor/index.php?do=contact", 8, 1, 100, false, annLine, "192.0.2.1"};
  EXPECT_EQ(admission.refusalOf(feedback), "admitted ann");
  admission.gate->countFeedback("192.0.2.1", admission.now);
  feedback.authorization = bobLine;
  EXPECT_EQ(admission.refusalOf(feedback),
            "429 Too many feedback messages, try again in 60 s|Retry-After: 60");
  feedback.clientAddress = "192.0.2.2";
  EXPECT_EQ(admission.refusalOf(feedback), "admitted bob");
}

// Every method on every route is decided from the request line, before any
// body room is claimed: whatever body a stranger declares, a route that does
// not take the method answers 405 (404 beyond the routes), and the upload
// route asks for its token only of a POST.
TEST(Admission, EveryMethodIsDecidedAtTheHead) {
  Config config = smallUploads();
  config.uploads = UploadAccess::token;
  Admission admission(config);
  for (std::string_view method : {"PUT", "GET", "HEAD", "PATCH", "FOO", "DELETE"})
    EXPECT_EQ(admission.refusalOf({method, "/guestglimor.php?x", 8, 1, 32 << 20, false, "", "192.0.2.1"}),
              "405 Method not allowed here, use POST|Allow: POST")
        << method;
  EXPECT_EQ(admission.refusalOf({"POST", "/guestglimor.php", 8, 1, std::nullopt, true, "", "192.0.2.1"}),
            "401 Upload token required|WWW-Authenticate: Bearer");
  EXPECT_EQ(admission.refusalOf({"PUT", "/d/ID/SECRET", 8, 1, 10, false}),
            "405 Method not allowed here, use GET, HEAD, POST|Allow: GET, HEAD, POST");
  EXPECT_EQ(admission.refusalOf({"POST", "/d/ID/SECRET", 8, 1, std::nullopt, false}), "admitted");
  EXPECT_EQ(admission.refusalOf({"POST", "/i/AAAA.png", 8, 1, 10, false}),
            "405 Method not allowed here, use GET, HEAD|Allow: GET, HEAD");
  EXPECT_EQ(admission.refusalOf({"PUT", "/Glimor.exe", 8, 1, 10, false}), "404 Not found");
  EXPECT_EQ(admission.refusalOf({"OPTIONS", "*", 8, 1, std::nullopt, false}),
            "400 Request target must start with /");
  // The page of one's uploads decides by path in its handler.
  EXPECT_EQ(admission.refusalOf({"POST", "/my/login", 8, 1, 10, false}), "admitted");
}

// Uploads open by default on loopback still need a token for a request whose
// head shows it came through a proxy from elsewhere.
TEST(Admission, OpenOnLoopbackOnlyForRequestsFromThisComputer) {
  Config config = smallUploads();
  config.openToLoopbackOnly = true;
  Admission admission(config);
  RequestHead upload{"POST", "/guestglimor.php", 8, 1, 500, false, "", "127.0.0.1"};
  for (std::string_view host : {"", "localhost:8080", "LOCALHOST", "127.0.0.1:8080", "[::1]:8080"}) {
    upload.host = host;
    EXPECT_EQ(admission.refusalOf(upload), "admitted") << host;
  }
  upload.host = "img.example.org";
  EXPECT_EQ(admission.refusalOf(upload), "401 Upload token required|WWW-Authenticate: Bearer");
  upload.host = "127.0.0.1:8080";
  upload.forwarded = true;
  EXPECT_EQ(admission.refusalOf(upload), "401 Upload token required|WWW-Authenticate: Bearer");
  // Where uploads are open on purpose, the head changes nothing.
  admission.config.openToLoopbackOnly = false;
  admission.gate.reset();
  EXPECT_EQ(admission.refusalOf(upload), "admitted");
}

TEST(Admission, JsonOnlyForClientsThatAcceptIt) {
  EXPECT_TRUE(wantsJson("application/json"));
  EXPECT_TRUE(wantsJson("text/html, Application/JSON;q=0.5"));
  EXPECT_TRUE(wantsJson("application/json; charset=utf-8"));
  EXPECT_FALSE(wantsJson("application/json;q=0"));
  EXPECT_FALSE(wantsJson("application/json; q=0.000, */*"));
  EXPECT_FALSE(wantsJson("application/jsonx, image/gif, */*"));
  EXPECT_FALSE(wantsJson(""));
}

} // namespace
} // namespace glimor::server
