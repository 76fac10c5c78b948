#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace glimor::server {

// PEM files for HTTPS: the certificate (chain) and its private key.
struct TlsFiles {
  std::string certificateFile;
  std::string keyFile;
};

// A PostgreSQL database that keeps the images, their records and the feedback,
// shared by every node that names it.
struct DatabaseSettings {
  std::string uri; // "postgresql://user@host:port/name"
  unsigned connections = 4;
};

// A bucket of an S3 service that keeps the image bytes and thumbnails, while
// the records stay in SQLite or PostgreSQL. Credentials come from the
// environment (GLIMOR_S3_ACCESS_KEY, GLIMOR_S3_SECRET_KEY) or from
// `credentialsFile`, never from the command line.
struct S3Settings {
  std::string endpoint; // "http[s]://host[:port]"
  std::string bucket;
  std::string region = "us-east-1";
  bool virtualHost = false; // the bucket named in the host, not the path
  bool redirect = false;    // GET answered with a presigned URL instead of the bytes
  std::optional<std::string> credentialsFile;
};

// Takes one --s3... flag (`flag` without an inline value, `value` reading it);
// false when `flag` is none of them. Shared by the service and the commands.
bool takeS3Flag(std::string_view flag, const std::function<std::string_view()>& value,
                std::optional<S3Settings>& s3, bool& sawAnyS3Flag);
// Throws when the --s3 flags are incomplete.
void checkS3Flags(const std::optional<S3Settings>& s3, bool sawAnyS3Flag);

// Who may upload and send feedback: anyone, or only holders of a token made
// with `glimor-server token add`.
enum class UploadAccess { open, token };

struct Config {
  std::string dataDirectory; // empty with `database`
  std::optional<DatabaseSettings> database;
  std::optional<S3Settings> s3;
  // With `database`: a folder of this node that keeps copies of large images,
  // at most `cacheBytes` of them.
  std::optional<std::string> cacheDirectory;
  std::uint64_t cacheBytes = std::uint64_t(1) << 30;
  std::string listenAddress = "127.0.0.1";
  std::uint16_t listenPort = 8080;
  // "http[s]://host[:port]" without a trailing slash; links then start with it
  // instead of the Host line the client sent.
  std::optional<std::string> publicUrl;
  std::optional<std::string> updatesDirectory;
  // Where the metrics are served, apart from the service's own address.
  struct Endpoint {
    std::string address;
    std::uint16_t port = 0;
  };
  std::optional<Endpoint> metricsListen;
  std::uint64_t maxUploadBytes = 32 * 1024 * 1024;
  // Bytes the store may hold at most, images and feedback together; nothing: no bound.
  std::optional<std::uint64_t> maxStoreBytes;
  // Pixels an uploaded image, or one frame of an animated GIF or a recording, may have.
  std::uint64_t maxPixels = 100'000'000;
  // Pixels of all the frames of an animated GIF or a recording together: 30 s of
  // 1920 x 1200 at 15 frames a second (a recording at Glimor's defaults) and more.
  std::uint64_t maxTotalPixels = 2'000'000'000;
  // How long a client may take to send one request, and how long an idle
  // kept-alive connection stays open.
  std::chrono::seconds requestTimeout{30};
  // Serve HTTPS instead of HTTP.
  std::optional<TlsFiles> tls;
  // Open connections at most; nothing means the descriptor limit less a reserve.
  std::optional<unsigned> maxConnections;
  unsigned maxConnectionsPerAddress = 64;
  // Bytes per second a body must average once `requestTimeout` has passed,
  // coming in and going out.
  std::uint64_t minUploadRate = 16 * 1024;
  std::uint64_t minDownloadRate = 16 * 1024;
  // Images older than this many days are removed; nothing means never.
  std::optional<unsigned> expireAfterDays;
  // Open only when the service is reachable from this computer alone (by
  // --listen, --public-url and --proxy-protocol), unless --uploads says
  // otherwise; settled by parseCommandLine(), with the reason for the
  // start-up line.
  UploadAccess uploads = UploadAccess::open;
  std::string uploadsReason;
  // Set when uploads are open only because the flags make the service look
  // reachable from this computer alone: a request whose head shows it came
  // from elsewhere (through an HTTP proxy that passes Host) still needs a token.
  bool openToLoopbackOnly = false;
  // Per token, or per client address (IPv6 by /64) without one; 0 switches a limit off.
  unsigned uploadsPerMinute = 30;
  std::uint64_t uploadBytesPerDay = std::uint64_t(1) << 30;
  unsigned feedbackPerMinute = 5; // per client address
  // Connections start with a PROXY protocol header naming the real client,
  // and come only from these addresses.
  bool proxyProtocol = false;
  std::vector<std::string> trustedProxies;
  // Store JPEG and PNG uploads with their Exif, XMP, IPTC, text and time
  // metadata, which are otherwise taken out.
  bool keepMetadata = false;
};

inline constexpr std::string_view usageText =
    "usage: glimor-server (--data DIR | --database postgresql://... [--database-connections N])\n"
    "                     [--listen ADDRESS:PORT] [--public-url http[s]://HOST[:PORT]]\n"
    "                     [--updates DIR] [--max-upload BYTES] [--max-store BYTES] [--max-pixels N]\n"
    "                     [--max-total-pixels N]\n"
    "                     [--timeout SECONDS]\n"
    "                     [--tls-cert CERT.pem --tls-key KEY.pem]\n"
    "                     [--max-connections N] [--max-connections-per-address N]\n"
    "                     [--min-upload-rate BYTES/S] [--min-download-rate BYTES/S]\n"
    "                     [--uploads open|token] [--upload-rate N/MIN] [--upload-quota BYTES/DAY]\n"
    "                     [--feedback-rate N/MIN] [--proxy-protocol --trusted-proxy ADDRESS ...]\n"
    "                     [--expire-after DAYS] [--cache-dir DIR [--cache-size BYTES]]\n"
    "                     [--metrics-listen ADDRESS:PORT] [--keep-metadata]\n"
    "                     [--s3 http[s]://HOST[:PORT] --s3-bucket NAME [--s3-region R]\n"
    "                      [--s3-virtual-host] [--s3-redirect] [--s3-credentials FILE]]\n"
    "       glimor-server token (add NAME | list | revoke NAME) (--data DIR | --database URI)\n"
    "                           (add NAME --sxcu FILE, sxcu NAME FILE: a ShareX uploader; token --help)\n"
    "       glimor-server admin (list | purge | delete | fsck) ...   (glimor-server admin --help)\n"
    "       glimor-server store migrate (--to-s3 | --from-s3) ...   (glimor-server store --help)\n";

// Throws Error with a message that names the offending flag or value.
// Returns nothing when --help was asked for.
std::optional<Config> parseCommandLine(std::span<const std::string_view> arguments);

// Whether a --listen or --trusted-proxy address (or name) is this computer's loopback.
bool isLoopbackAddress(std::string_view address);

// Why uploads are open or need a token when --uploads does not say: the
// first thing that makes the service reachable from other computers, or
// nothing when it is reachable from loopback alone.
std::optional<std::string> reachableFromOutside(const Config& config);

// Checks a --public-url value and returns it without its trailing slash.
std::string normalisePublicUrl(std::string_view url);

} // namespace glimor::server
