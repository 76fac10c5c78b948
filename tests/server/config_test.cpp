#include "config.h"
#include "platform/error.h"

#include <gtest/gtest.h>
#include <vector>

namespace glimor::server {
namespace {

std::optional<Config> parse(std::vector<std::string_view> arguments) {
  return parseCommandLine(arguments);
}

std::string errorOf(std::vector<std::string_view> arguments) {
  try {
    parse(arguments);
  } catch (const Error& error) {
    return error.what();
  }
  return "";
}

TEST(Config, OnlyDataIsNeededForAServiceOnThisComputer) {
  auto config = parse({"--data", "/srv/glimor"});
  ASSERT_TRUE(config);
  EXPECT_EQ(config->dataDirectory, "/srv/glimor");
  EXPECT_EQ(config->listenAddress, "127.0.0.1");
  EXPECT_EQ(config->listenPort, 8080);
  EXPECT_FALSE(config->publicUrl);
  EXPECT_FALSE(config->updatesDirectory);
  EXPECT_EQ(config->maxUploadBytes, 32u << 20);
  EXPECT_EQ(config->maxPixels, 100'000'000u);
  EXPECT_EQ(config->maxTotalPixels, 2'000'000'000u);
  EXPECT_FALSE(config->tls);
  EXPECT_FALSE(config->expireAfterDays);
}

TEST(Config, ReadsEveryFlagInBothForms) {
  auto config =
      parse({"--data=/d", "--listen", "0.0.0.0:80", "--public-url", "http://img.example.org/", "--updates=/u",
             "--max-upload", "1000", "--timeout", "5", "--max-pixels=4000", "--max-total-pixels", "90000"});
  ASSERT_TRUE(config);
  EXPECT_EQ(config->listenAddress, "0.0.0.0");
  EXPECT_EQ(config->listenPort, 80);
  EXPECT_EQ(config->publicUrl, "http://img.example.org");
  EXPECT_EQ(config->updatesDirectory, "/u");
  EXPECT_EQ(config->maxUploadBytes, 1000u);
  EXPECT_EQ(config->maxPixels, 4000u);
  EXPECT_EQ(config->maxTotalPixels, 90000u);
  EXPECT_EQ(config->requestTimeout, std::chrono::seconds(5));

  auto https = parse({"--data", "d", "--tls-key=k.pem", "--tls-cert", "chain.pem", "--public-url",
                      "https://images.example.org:8443"});
  ASSERT_TRUE(https && https->tls);
  EXPECT_EQ(https->tls->certificateFile, "chain.pem");
  EXPECT_EQ(https->tls->keyFile, "k.pem");
  EXPECT_EQ(https->publicUrl, "https://images.example.org:8443");

  auto bounds = parse({"--data", "d", "--max-connections", "100", "--max-connections-per-address=5",
                       "--min-upload-rate", "1000", "--min-download-rate=2000", "--expire-after", "30"});
  ASSERT_TRUE(bounds);
  EXPECT_EQ(bounds->expireAfterDays, 30u);
  EXPECT_EQ(bounds->maxConnections, 100u);
  EXPECT_EQ(bounds->maxConnectionsPerAddress, 5u);
  EXPECT_EQ(bounds->minUploadRate, 1000u);
  EXPECT_EQ(bounds->minDownloadRate, 2000u);

  auto v6 = parse({"--data", "d", "--listen", "[::1]:0"});
  EXPECT_EQ(v6->listenAddress, "::1");
  EXPECT_EQ(v6->listenPort, 0);
  EXPECT_FALSE(parse({"--help"}));
}

TEST(Config, UploadsAreOpenOnlyOnLoopbackUnlessSaid) {
  EXPECT_EQ(parse({"--data", "d"})->uploads, UploadAccess::open);
  EXPECT_EQ(parse({"--data", "d", "--listen", "[::1]:80"})->uploads, UploadAccess::open);
  EXPECT_EQ(parse({"--data", "d", "--listen", "0.0.0.0:80"})->uploads, UploadAccess::token);
  EXPECT_EQ(parse({"--data", "d", "--listen", "[::ffff:10.0.0.1]:80"})->uploads, UploadAccess::token);
  EXPECT_EQ(parse({"--data", "d", "--listen", "0.0.0.0:80", "--uploads", "open"})->uploads,
            UploadAccess::open);
  EXPECT_EQ(parse({"--data", "d", "--uploads=token"})->uploads, UploadAccess::token);
  // Behind a proxy the service listens on loopback, yet strangers reach it.
  auto proxied = parse({"--data", "d", "--public-url", "https://images.example.org"});
  EXPECT_EQ(proxied->uploads, UploadAccess::token);
  EXPECT_EQ(proxied->uploadsReason, "--public-url names another host: a proxy publishes it");
  EXPECT_EQ(parse({"--data", "d", "--proxy-protocol", "--trusted-proxy", "127.0.0.1"})->uploads,
            UploadAccess::token);
  EXPECT_EQ(parse({"--data", "d", "--public-url", "http://[::1]:8080"})->uploads, UploadAccess::open);
  EXPECT_EQ(parse({"--data", "d", "--public-url", "http://localhost:8080/"})->uploads, UploadAccess::open);
  EXPECT_EQ(parse({"--data", "d", "--public-url", "http://x.org", "--uploads", "open"})->uploads,
            UploadAccess::open);

  auto limits = parse({"--data", "d", "--upload-rate", "100/MIN", "--upload-quota=0", "--feedback-rate", "0",
                       "--proxy-protocol", "--trusted-proxy", "10.0.0.1", "--trusted-proxy=::1"});
  EXPECT_EQ(limits->uploadsPerMinute, 100u);
  EXPECT_EQ(limits->uploadBytesPerDay, 0u);
  EXPECT_EQ(limits->feedbackPerMinute, 0u);
  EXPECT_TRUE(limits->proxyProtocol);
  EXPECT_EQ(limits->trustedProxies, (std::vector<std::string>{"10.0.0.1", "::1"}));
  EXPECT_EQ(parse({"--data", "d", "--upload-quota", "5000/day"})->uploadBytesPerDay, 5000u);

  EXPECT_NE(errorOf({"--data", "d", "--uploads", "closed"}).find("neither open nor token"),
            std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--upload-rate", "30/hour"}).find("a number per min"), std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--proxy-protocol"}).find("needs --trusted-proxy"), std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--trusted-proxy", "::1"}).find("needs --proxy-protocol"),
            std::string::npos);
  EXPECT_NE(
      errorOf({"--data", "d", "--proxy-protocol", "--trusted-proxy", "nginx"}).find("not an IP address"),
      std::string::npos);
}

TEST(Config, ADatabaseReplacesTheDataFolder) {
  auto config = parse({"--database", "postgresql://glimor@db.lan/glimor", "--database-connections=8"});
  ASSERT_TRUE(config && config->database);
  EXPECT_EQ(config->database->uri, "postgresql://glimor@db.lan/glimor");
  EXPECT_EQ(config->database->connections, 8u);
  EXPECT_EQ(parse({"--database", "postgres://db/g"})->database->connections, 4u);

  EXPECT_NE(errorOf({"--database", "glimor.db"}).find("not a postgresql:// URI"), std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--database", "postgres://db/g"}).find("exclude each other"),
            std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--database-connections", "2"}).find("needs --database"),
            std::string::npos);
  EXPECT_NE(errorOf({"--database", "postgres://db/g", "--database-connections", "0"}).find("from 1 to 64"),
            std::string::npos);
  // A disk cache of large images belongs to a node on the database.
  auto cached = parse({"--database", "postgres://db/g", "--cache-dir", "/var/cache/g", "--cache-size=5000"});
  ASSERT_TRUE(cached);
  EXPECT_EQ(cached->cacheDirectory, "/var/cache/g");
  EXPECT_EQ(cached->cacheBytes, 5000u);
  EXPECT_NE(errorOf({"--data", "d", "--cache-dir", "c"}).find("--cache-dir needs --database"),
            std::string::npos);
  EXPECT_NE(
      errorOf({"--database", "postgres://db/g", "--cache-size", "9"}).find("--cache-size needs --cache-dir"),
      std::string::npos);
}

TEST(Config, ImagesInABucketBesideEitherStore) {
  auto config = parse({"--data", "d", "--s3", "http://127.0.0.1:7480", "--s3-bucket=img", "--s3-region",
                       "eu-west-1", "--s3-redirect", "--s3-virtual-host", "--cache-dir", "c"});
  ASSERT_TRUE(config && config->s3);
  EXPECT_EQ(config->s3->endpoint, "http://127.0.0.1:7480");
  EXPECT_EQ(config->s3->bucket, "img");
  EXPECT_EQ(config->s3->region, "eu-west-1");
  EXPECT_TRUE(config->s3->redirect && config->s3->virtualHost);
  EXPECT_EQ(config->cacheDirectory, "c");
  auto defaults =
      parse({"--database", "postgres://db/g", "--s3", "https://s3.example.org", "--s3-bucket", "b"});
  ASSERT_TRUE(defaults && defaults->s3);
  EXPECT_EQ(defaults->s3->region, "us-east-1");
  EXPECT_FALSE(defaults->s3->redirect || defaults->s3->virtualHost || defaults->s3->credentialsFile);

  EXPECT_NE(errorOf({"--data", "d", "--s3-bucket", "b"}).find("need --s3 http"), std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--s3", "http://h"}).find("--s3 needs --s3-bucket"), std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--s3", "ftp://h", "--s3-bucket", "b"}).find("is not http://"),
            std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--s3", "http://h", "--s3-bucket", "b", "--s3-redirect=yes"})
                .find("takes no value"),
            std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--s3-secret", "x"}).find("unknown argument"), std::string::npos);
}

TEST(Config, NamesWhatIsWrong) {
  EXPECT_NE(errorOf({}).find("--data DIR is required"), std::string::npos);
  EXPECT_NE(errorOf({"--data"}).find("--data needs a value"), std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--listen", "8080"}).find("is not ADDRESS:PORT"), std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--listen", "a:70000"}).find("from 0 to 65535"), std::string::npos);
  // The metrics have an address of their own, never the service's.
  auto metrics = parse({"--data", "d", "--metrics-listen", "[::1]:9100"});
  ASSERT_TRUE(metrics && metrics->metricsListen);
  EXPECT_EQ(metrics->metricsListen->address, "::1");
  EXPECT_EQ(metrics->metricsListen->port, 9100);
  EXPECT_NE(errorOf({"--data", "d", "--metrics-listen", "127.0.0.1:8080"}).find("must differ from --listen"),
            std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--metrics-listen", "9100"}).find("--metrics-listen: \"9100\" is not"),
            std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--max-upload", "12k"}).find("--max-upload"), std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--max-upload", "0"}).find("--max-upload"), std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--expire-after", "0"}).find("--expire-after"), std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--max-pixels", "0"}).find("--max-pixels"), std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--max-total-pixels", "-1"}).find("--max-total-pixels"),
            std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--public-url", "ftp://x"}).find("must start with http:// or https://"),
            std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--public-url", "http://https://x"}).find("no path"), std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--tls-cert", "c.pem"}).find("--tls-cert needs --tls-key"),
            std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--tls-key", "k.pem"}).find("--tls-key needs --tls-cert"),
            std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--tls-cert=", "--tls-key", "k"}).find("--tls-cert needs a file"),
            std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--public-url", "http://x/images"}).find("no path"), std::string::npos);
  EXPECT_NE(errorOf({"--data", "d", "--frobnicate"}).find("unknown argument \"--frobnicate\""),
            std::string::npos);
}

} // namespace
} // namespace glimor::server
