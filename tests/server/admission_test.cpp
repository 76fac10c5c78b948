#include "admission.h"
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
  EXPECT_EQ(admission.refusalOf(withToken), "admitted ann");
  // A head the service refuses for its form is not counted.
  RequestHead tooLarge = withToken;
  tooLarge.contentLength = 1000 + 64 * 1024 + 1;
  EXPECT_EQ(admission.refusalOf(tooLarge), "413 Upload larger than 1000 bytes");
  EXPECT_EQ(admission.refusalOf(withToken), "admitted ann");
  EXPECT_EQ(admission.refusalOf(withToken), "429 Too many uploads, try again in 30 s|Retry-After: 30");
  // Uploads count per token, wherever they come from.
  RequestHead bobsUpload = upload;
  bobsUpload.authorization = bobLine;
  EXPECT_EQ(admission.refusalOf(bobsUpload), "admitted bob");
  // Reads are never asked for a token.
  EXPECT_EQ(admission.refusalOf({"GET", "/i/x.png", 3, 1, std::nullopt, false, "", "192.0.2.1"}), "admitted");

  // Feedback counts per address, whichever token comes with it.
  RequestHead feedback{"POST", "/glimor/index.php?do=contact", 8, 1, 100, false, annLine, "192.0.2.1"};
  EXPECT_EQ(admission.refusalOf(feedback), "admitted ann");
  feedback.authorization = bobLine;
  EXPECT_EQ(admission.refusalOf(feedback),
            "429 Too many feedback messages, try again in 60 s|Retry-After: 60");
  feedback.clientAddress = "192.0.2.2";
  EXPECT_EQ(admission.refusalOf(feedback), "admitted bob");
}

} // namespace
} // namespace glimor::server
