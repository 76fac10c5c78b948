// OpenSSL's side of https against a loopback TLS service whose certificate comes from a test CA
// that the system does not trust: only the trust anchor file can make it trusted.
#include "../bench/loopback_sink.h"
#include "http/http_client.h"
#include "net/service_clients.h"
#include "platform/error.h"
#include "platform/tls.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdlib.h>

namespace glimor::http {
namespace {

namespace fs = std::filesystem;

std::string postError(HttpClient& client, const std::string& url) {
  Bytes answer;
  try {
    client.Post(url, Bytes{'x'}, answer);
  } catch (const Error& error) {
    return error.what();
  }
  return std::string(answer.begin(), answer.end()) == "Link: http://x/" ? "" : "a wrong answer";
}

TEST(SystemTls, SeesAReplacedTrustAnchorFileFromTheNextConnection) {
  // A folder of this run's own: another test run on the machine may be here at the same time.
  std::string pattern = (fs::temp_directory_path() / "glimor-system-tls-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path folder = pattern;
  // The source folder comes from ctest: a compiler cache may compile this file by a relative name.
  const char* sources = std::getenv("GLIMOR_SOURCE_DIR");
  ASSERT_NE(sources, nullptr) << "run through ctest, which names the source folder";
  const fs::path script = fs::path(sources) / "tests/support/make_test_ca.sh";
  const std::string makeCa = "bash '" + script.string() + "' '" + folder.string() + "' >/dev/null";
  ASSERT_EQ(std::system(makeCa.c_str()), 0);
  std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
  ASSERT_EQ(SSL_CTX_use_certificate_chain_file(context.get(), (folder / "server.pem").c_str()), 1);
  ASSERT_EQ(SSL_CTX_use_PrivateKey_file(context.get(), (folder / "server.key").c_str(), SSL_FILETYPE_PEM), 1);
  LoopbackSink sink(context.get());
  const std::string url = sink.url("/guestglimor.php"), anchor = (folder / "anchor.pem").string();
  HttpClient client(net::uploadClientConfig(), platform::systemNetwork(), {},
                    {&platform::systemTls(), anchor});

  fs::copy_file(folder / "rogue-ca.pem", anchor);
  EXPECT_EQ(postError(client, url).rfind("The certificate of 127.0.0.1 is not trusted", 0), 0u);
  fs::copy_file(folder / "ca.der", anchor, fs::copy_options::overwrite_existing);
  EXPECT_EQ(postError(client, url), "");
  fs::copy_file(folder / "server.key", anchor, fs::copy_options::overwrite_existing);
  EXPECT_EQ(postError(client, url),
            "The CA certificate file \"" + anchor + "\" holds no certificate in PEM or DER form.");
  fs::remove(anchor);
  EXPECT_EQ(postError(client, url), "The CA certificate file \"" + anchor + "\" cannot be read.");
  fs::remove_all(folder);
}

} // namespace
} // namespace glimor::http
